#include "win9x/main95.h"

#include <cstdio>
#include <cstring>

#include "front/switches.h"
#include "patterns/name_pattern.h"
#include "platform/win32.h"
#include "win9x/kill_table.h"
#include "win9x/listing95.h"
#include "win9x/options95.h"
#include "win9x/terminate_pid95.h"
#include "win9x/toolhelp_api.h"

namespace {

bool IsSelected(const PROCESSENTRY32& e, const CommandOptions& o) {
    if (o.PidGiven) return e.th32ProcessID == o.Pid;
    return MatchExePath(e.szExeFile, o.Pattern) != 0;
}

// Fills the kill table from the snapshot; returns the number of processes
// selected (parents added for /d are not counted).
DWORD SelectProcesses(HANDLE snapshot, PROCESSENTRY32& e, const CommandOptions& o) {
    DWORD found = 0;
    for (BOOL more = Toolhelp.ProcessFirst(snapshot, &e); more;
         more = Toolhelp.ProcessNext(snapshot, &e)) {
        if (!IsSelected(e, o)) continue;
        ++found;
        KillTableAdd(e.th32ProcessID);
        if (o.KillParent) KillTableAdd(e.th32ParentProcessID);
    }
    return found;
}

// Prints the rows of the second walk; returns the number of full rows.
DWORD ListProcesses(HANDLE snapshot, PROCESSENTRY32& e, const CommandOptions& o) {
    const bool selecting = InSelectionMode(o);
    DWORD listed = 0;
    for (BOOL more = Toolhelp.ProcessFirst(snapshot, &e); more;
         more = Toolhelp.ProcessNext(snapshot, &e)) {
        if (!selecting) {
            PrintFullRow95(e, o.Verbose != 0);
            ++listed;
        } else if (KillTableContains(e.th32ProcessID)) {
            PrintSelectedRow95(e, o.Verbose != 0);
            if (o.ListOnly)
                std::printf("\n");
            else
                TerminatePid95(e.th32ProcessID);
        }
    }
    return listed;
}

}  // namespace

void main95(int argc, char** argv) {
    std::setbuf(stdout, nullptr);
    ParseSwitches(argc, argv, SwitchSet::Win9x, Win9xOptions);
    const CommandOptions& o = Win9xOptions;

    HMODULE library = BindToolhelp();
    HANDLE snapshot = TakeProcessSnapshot();
    // One entry serves both walks. Its size is the platform's own record:
    // on 64-bit systems the record is larger than the 32-bit layout, and a
    // walk with a smaller size is refused.
    PROCESSENTRY32 entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;

    DWORD found = 0;
    if (InSelectionMode(o)) found = SelectProcesses(snapshot, entry, o);

    if (o.NameGiven && !o.ListOnly && !o.KillAll && found > 1) {
        std::printf("%s: more than one Process to kill !\n", Win9xBanner);
        std::printf("\t      use /p<PID> or /a to kill all\n");
        std::printf("\t      or use /l to get a list\n");
        ExitProcess(kExitError);
    }
    if (InSelectionMode(o) && found == 0) {
        std::printf("%s: Process not found\n", Win9xBanner);
        ExitProcess(kExitNotFound);
    }

    PrintBannerLine95(GetVersion());
    PrintHeader95(o.Verbose != 0);
    const DWORD listed = ListProcesses(snapshot, entry, o);
    if (!InSelectionMode(o)) found = listed;

    std::printf("\n%u Processes found.\n", static_cast<unsigned>(found));
    ReleaseToolhelp(snapshot, library);
    ExitProcess(found);
}
