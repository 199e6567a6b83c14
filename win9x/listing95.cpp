#include "win9x/listing95.h"

#include <cstdio>

#include "front/options.h"
#include "win9x/module_lookup.h"

namespace {

void PrintIdentity(const PROCESSENTRY32& e) {
    std::printf("$%08X $%08X", static_cast<unsigned>(e.th32ProcessID),
                static_cast<unsigned>(e.th32ParentProcessID));
}

}  // namespace

void PrintBannerLine95(DWORD versionWord) {
    std::printf("%s is running with Windows Version %u.%02u\n\n", Win9xBanner,
                static_cast<unsigned>(versionWord & 0xFF),
                static_cast<unsigned>((versionWord >> 8) & 0xFF));
}

void PrintHeader95(bool verbose) {
    if (verbose) {
        std::printf(" Process   Parent     HMOD    Th Pr Bit Process\n");
        std::printf("   ID        ID                         Name\n\n");
    } else {
        std::printf(" Process   Parent    Process\n");
        std::printf("   ID        ID       Name\n\n");
    }
}

void PrintFullRow95(const PROCESSENTRY32& e, bool verbose) {
    PrintIdentity(e);
    if (verbose) {
        const bool win32 = IsWin32Module(e.szExeFile, e.th32ProcessID, e.th32ModuleID) != 0;
        std::printf(" $%08X %02u %02ld %2s", static_cast<unsigned>(e.th32ModuleID),
                    static_cast<unsigned>(e.cntThreads), static_cast<long>(e.pcPriClassBase),
                    win32 ? "32" : "16");
    }
    std::printf(" %s\n", e.szExeFile);
}

void PrintSelectedRow95(const PROCESSENTRY32& e, bool verbose) {
    PrintIdentity(e);
    if (verbose)
        std::printf(" $%08X %02u %02ld", static_cast<unsigned>(e.th32ModuleID),
                    static_cast<unsigned>(e.cntThreads), static_cast<long>(e.pcPriClassBase));
    std::printf(" %s", e.szExeFile);
}
