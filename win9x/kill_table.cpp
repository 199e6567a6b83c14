#include "win9x/kill_table.h"

#include <cstdio>
#include <cstdlib>

#include "front/options.h"

KillTableRecord KillTable;

int KillTableContains(DWORD pid) {
    for (unsigned i = 0; i < KillTable.Count; ++i)
        if (KillTable.Pids[i] == pid) return 1;
    return 0;
}

void KillTableAdd(DWORD pid) {
    if (pid == 0 || KillTableContains(pid)) return;
    if (KillTable.Count >= kKillTableSlots) {
        std::printf("\n%s: internal table overflow !\n", Win9xBanner);
        std::printf("More than %u Processes to kill.\n", kKillTableSlots);
        std::exit(static_cast<int>(kExitError));
    }
    KillTable.Pids[KillTable.Count] = pid;
    ++KillTable.Count;
}
