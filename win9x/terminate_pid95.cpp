#include "win9x/terminate_pid95.h"

#include <cstdio>

void TerminatePid95(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (process == nullptr) {
        std::printf(" not killed: Invalid PID: $%04X !\n", static_cast<unsigned>(pid));
        return;
    }
    if (TerminateProcess(process, 0xFFFF)) {
        std::printf(" ... killed\n");
    } else {
        const DWORD error = GetLastError();
        std::printf(" not killed: TerminateProcess(): rc = $%X !\n", static_cast<unsigned>(error));
    }
    CloseHandle(process);
}
