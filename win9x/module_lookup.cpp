#include "win9x/module_lookup.h"

#include <cstring>

#include "win9x/toolhelp_api.h"

int FindModuleEntry(DWORD processId, DWORD moduleId, MODULEENTRY32* entry, size_t entrySize) {
    if (Toolhelp.ModuleFirst == nullptr || Toolhelp.ModuleNext == nullptr) return 0;

    MODULEENTRY32 module;
    std::memset(&module, 0, sizeof module);
    HANDLE snapshot = Toolhelp.CreateSnapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;

    // The platform's own record size: the 64-bit layout is larger than the
    // 32-bit one, and a walk with a smaller size is refused.
    module.dwSize = sizeof module;
    int found = 0;
    for (BOOL more = Toolhelp.ModuleFirst(snapshot, &module); more;
         more = Toolhelp.ModuleNext(snapshot, &module)) {
        if (module.th32ModuleID == moduleId) {
            std::memcpy(entry, &module, entrySize < sizeof module ? entrySize : sizeof module);
            found = 1;
            break;
        }
    }
    CloseHandle(snapshot);
    return found;
}

int IsWin32Module(const char* exePath, DWORD processId, DWORD moduleId) {
    MODULEENTRY32 module;
    std::memset(&module, 0, sizeof module);
    module.dwSize = sizeof module;
    if (!FindModuleEntry(processId, moduleId, &module, sizeof module)) return 1;
    return lstrcmpiA(exePath, module.szExePath) == 0 ? 1 : 0;
}
