// The entry point: asks the platform which Windows it is and runs the
// Windows 95/98 driver there, the NT driver everywhere else.
#include <cstdio>
#include <iostream>

#include "front/switches.h"
#include "nt/nt_driver.h"
#include "platform/win32.h"
#include "win9x/main95.h"

int main(int argc, char** argv) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    GetVersionExA(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) main95(argc, argv);

    std::setbuf(stdout, nullptr);
    ParseSwitches(argc, argv, SwitchSet::Nt, NtOptions);
    if (GetVersion() & 0x80000000u) {
        std::cout << NtBanner << " only runs on Windows NT" << std::endl;
        ExitProcess(kExitError);
    }
    RunNtDriver(NtOptions);
}
