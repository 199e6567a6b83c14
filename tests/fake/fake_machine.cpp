#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "platform/linux/unicode.h"
#include "tests/fake/fake_internal.h"
#include "tests/fake/run_shared.h"

namespace {

FakeMachine machine;
DWORD lastError = ERROR_SUCCESS;
int childLogFd = -1;
RunShared* childShared = nullptr;

}  // namespace

FakeMachine& Fake() { return machine; }

void ResetFake() {
    machine = FakeMachine{};
    lastError = ERROR_SUCCESS;
    FakeResetRegistry();
    FakeResetHandles();
}

void FakeLog(const std::string& line) {
    machine.calls.push_back(line);
    if (childLogFd >= 0) {
        const std::string withEnd = line + "\n";
        ssize_t written = write(childLogFd, withEnd.data(), withEnd.size());
        (void)written;
    }
}

void FakeBeginChild(int logFd, void* sharedState) {
    childLogFd = logFd;
    childShared = static_cast<RunShared*>(sharedState);
    machine.calls.clear();
}

void FakeEndRun(RunEnd end, uint32_t code) {
    std::cout.flush();
    if (childShared != nullptr) {
        childShared->end = static_cast<int>(end);
        childShared->exitCode = code;
    }
    _exit(static_cast<int>(code & 0xFF));
}

std::string FakeHex(uintptr_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lX", static_cast<unsigned long>(value));
    return text;
}

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    FakeLog("GetVersionExA size=" + std::to_string(info->dwOSVersionInfoSize));
    info->dwMajorVersion = machine.major;
    info->dwMinorVersion = machine.minor;
    info->dwBuildNumber = machine.build;
    info->dwPlatformId = machine.platformId;
    info->szCSDVersion[0] = '\0';
    return TRUE;
}

DWORD GetVersion() {
    FakeLog("GetVersion");
    if (machine.versionWord) return *machine.versionWord;
    DWORD word = (machine.major & 0xFF) | ((machine.minor & 0xFF) << 8);
    if (machine.platformId == VER_PLATFORM_WIN32_NT)
        word |= (machine.build & 0x7FFF) << 16;
    else
        word |= 0x80000000u;
    return word;
}

void ExitProcess(UINT exitCode) {
    FakeLog("ExitProcess " + std::to_string(exitCode));
    FakeEndRun(RunEnd::ExitProcess, exitCode);
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD code) { lastError = code; }

UINT GetACP() { return machine.codePage; }

BOOL IsDBCSLeadByte(BYTE byte) { return machine.leadBytes.count(byte) ? TRUE : FALSE; }

int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideCount, char* bytes,
                        int byteCount, const char* defaultChar, BOOL* usedDefaultChar) {
    FakeLog("WideCharToMultiByte cp=" + std::to_string(codePage) + " flags=" +
            std::to_string(flags) + " count=" + std::to_string(wideCount) +
            " capacity=" + std::to_string(byteCount) +
            " default=" + (defaultChar ? "set" : "none") +
            " used=" + (usedDefaultChar ? "set" : "none"));
    return ConvertUtf16ToUtf8(wide, wideCount, bytes, byteCount);
}

int lstrcmpiA(const char* a, const char* b) { return CompareIgnoringCase(a, b); }
