// LoadLibraryA, GetProcAddress and FreeLibrary: the one library the seam
// knows is KERNEL32.DLL, whose exports are the seam's Toolhelp32 functions.
#include <cstdint>
#include <cstring>
#include <strings.h>

#include "platform/win32.h"

namespace {

struct ExportedFunction {
    const char* name;
    FARPROC address;
};

struct LibraryImage {
    uint32_t magic;
    unsigned loads;  // LoadLibraryA calls not yet matched by FreeLibrary
};

constexpr uint32_t kLibraryMagic = 0x4B33324C;

LibraryImage kernel32 = {kLibraryMagic, 0};

// Every entry point is handed out as FARPROC; the detour through
// void (*)() tells the compiler that the type change is meant.
template <class Fn>
FARPROC AsFarProc(Fn* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

const ExportedFunction* Exports(size_t& count) {
    static const ExportedFunction exports[] = {
        {"CreateToolhelp32Snapshot", AsFarProc(CreateToolhelp32Snapshot)},
        {"Process32First", AsFarProc(Process32First)},
        {"Process32Next", AsFarProc(Process32Next)},
        {"Module32First", AsFarProc(Module32First)},
        {"Module32Next", AsFarProc(Module32Next)},
    };
    count = sizeof exports / sizeof exports[0];
    return exports;
}

LibraryImage* AsLibrary(HMODULE module) {
    auto* image = reinterpret_cast<LibraryImage*>(module);
    return image == &kernel32 && image->loads > 0 ? image : nullptr;
}

}  // namespace

HMODULE LoadLibraryA(const char* name) {
    if (name == nullptr || strcasecmp(name, "KERNEL32.DLL") != 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ++kernel32.loads;
    SetLastError(ERROR_SUCCESS);
    return reinterpret_cast<HMODULE>(&kernel32);
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    if (AsLibrary(module) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // A value below 0x10000 is an ordinal, not a name; the table has none.
    if (reinterpret_cast<uintptr_t>(name) >= 0x10000) {
        size_t count = 0;
        const ExportedFunction* exports = Exports(count);
        for (size_t i = 0; i < count; ++i) {
            if (std::strcmp(exports[i].name, name) == 0) return exports[i].address;
        }
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
    LibraryImage* image = AsLibrary(module);
    if (image == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    --image->loads;
    return TRUE;
}
