// LoadLibraryA, GetProcAddress and FreeLibrary of the Linux seam.
#include <gtest/gtest.h>

#include "platform/win32.h"

namespace {

template <class Fn>
FARPROC Address(Fn* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

TEST(ToolhelpLibrary, Kernel32LoadsInAnyLetterCase) {
    for (const char* name : {"KERNEL32.DLL", "kernel32.dll", "Kernel32.Dll"}) {
        SetLastError(0);
        HMODULE module = LoadLibraryA(name);
        ASSERT_NE(module, nullptr) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << name;
        EXPECT_TRUE(FreeLibrary(module)) << name;
    }
}

TEST(ToolhelpLibrary, OtherLibrariesAreNotFound) {
    for (const char* name : {"USER32.DLL", "KERNEL32", "KERNEL32.DLL ", "kernel32.dl", "", "libc.so.6"}) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryA(name), nullptr) << '"' << name << '"';
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << '"' << name << '"';
    }
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(ToolhelpLibrary, ExportsTheFiveToolhelpFunctionsByExactName) {
    HMODULE module = LoadLibraryA("KERNEL32.DLL");
    ASSERT_NE(module, nullptr);
    struct Export {
        const char* name;
        FARPROC address;
    };
    const Export exports[] = {
        {"CreateToolhelp32Snapshot", Address(CreateToolhelp32Snapshot)},
        {"Process32First", Address(Process32First)},
        {"Process32Next", Address(Process32Next)},
        {"Module32First", Address(Module32First)},
        {"Module32Next", Address(Module32Next)},
    };
    for (const Export& e : exports) EXPECT_EQ(GetProcAddress(module, e.name), e.address) << e.name;
    for (const char* name : {"process32first", "PROCESS32FIRST", "Process32FirstW", "Thread32First",
                             "CreateToolhelp32Snapshot ", "LoadLibraryA", ""}) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(module, name), nullptr) << '"' << name << '"';
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << '"' << name << '"';
    }
    // An ordinal in place of a name is not dereferenced.
    EXPECT_EQ(GetProcAddress(module, reinterpret_cast<const char*>(static_cast<uintptr_t>(1))), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(ToolhelpLibrary, FreeLibraryReleasesTheHandle) {
    HMODULE first = LoadLibraryA("KERNEL32.DLL");
    HMODULE second = LoadLibraryA("kernel32.dll");
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(FreeLibrary(first));
    // Still loaded once: the lookup works.
    EXPECT_NE(GetProcAddress(second, "Process32First"), nullptr);
    EXPECT_TRUE(FreeLibrary(second));
    // Every load released: the handle is no longer valid.
    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(second));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetProcAddress(second, "Process32First"), nullptr);

    int notALibrary = 0;
    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(&notALibrary)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FreeLibrary(nullptr));
    EXPECT_EQ(GetProcAddress(nullptr, "Process32First"), nullptr);
}

}  // namespace
