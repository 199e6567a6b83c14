// Version, last error and process exit.
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/linux/flavour.h"
#include "platform/win32.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

struct KernelRelease {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
};

// "6.1.0-18-amd64" gives 6, 1 and 0.
KernelRelease ReadKernelRelease() {
    KernelRelease release;
    utsname name{};
    if (uname(&name) != 0) return release;
    unsigned major = 0, minor = 0, build = 0;
    std::sscanf(name.release, "%u.%u.%u", &major, &minor, &build);
    release.major = major;
    release.minor = minor;
    release.build = build;
    return release;
}

}  // namespace

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (info == nullptr || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const KernelRelease release = ReadKernelRelease();
    info->dwMajorVersion = release.major;
    info->dwMinorVersion = release.minor;
    info->dwBuildNumber = release.build;
    info->dwPlatformId = SeamPlatformId;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

DWORD GetVersion() {
    const KernelRelease release = ReadKernelRelease();
    DWORD version = (release.major & 0xFF) | ((release.minor & 0xFF) << 8);
    if (SeamPlatformId != VER_PLATFORM_WIN32_NT) version |= 0x80000000u;
    return version;
}

// A Linux parent sees eight bits of an exit status: 0xFFFF (every error)
// becomes 255, a count stays itself up to 254, so a shell can still tell an
// error from "nothing found" and from how many.
void ExitProcess(UINT exitCode) {
    std::fflush(nullptr);
    int status = 0;
    if (exitCode == 0xFFFF)
        status = 255;
    else
        status = exitCode > 254 ? 254 : static_cast<int>(exitCode);
    _exit(status);
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD code) { lastError = code; }
