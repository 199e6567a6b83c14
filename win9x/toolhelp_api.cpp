#include "win9x/toolhelp_api.h"

#include <cstdio>

#include "front/options.h"

ToolhelpApi Toolhelp;

namespace {

// GetProcAddress hands every entry point out as FARPROC; the detour through
// void (*)() tells the compiler that the type change is meant.
template <class Fn>
Fn SlotFrom(FARPROC address) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
}

[[noreturn]] void Fail(const char* line) {
    std::printf("%s", line);
    ExitProcess(kExitError);
}

}  // namespace

HMODULE BindToolhelp() {
    HMODULE library = LoadLibraryA("KERNEL32.DLL");
    if (library == nullptr) Fail("Error loading KERNEL32.DLL\n");

    Toolhelp.CreateSnapshot =
        SlotFrom<CreateSnapshotFn>(GetProcAddress(library, "CreateToolhelp32Snapshot"));
    Toolhelp.ProcessFirst = SlotFrom<ProcessWalkFn>(GetProcAddress(library, "Process32First"));
    Toolhelp.ProcessNext = SlotFrom<ProcessWalkFn>(GetProcAddress(library, "Process32Next"));
    Toolhelp.ModuleFirst = SlotFrom<ModuleWalkFn>(GetProcAddress(library, "Module32First"));
    Toolhelp.ModuleNext = SlotFrom<ModuleWalkFn>(GetProcAddress(library, "Module32Next"));

    if (Toolhelp.CreateSnapshot == nullptr || Toolhelp.ProcessFirst == nullptr ||
        Toolhelp.ProcessNext == nullptr)
        Fail("Error accessing TOOLHELP32 functions\n");
    return library;
}

HANDLE TakeProcessSnapshot() {
    HANDLE snapshot = Toolhelp.CreateSnapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) Fail("Error on CreateToolhelp32Snapshot\n");
    return snapshot;
}

void ReleaseToolhelp(HANDLE snapshot, HMODULE library) {
    CloseHandle(snapshot);
    FreeLibrary(library);
}
