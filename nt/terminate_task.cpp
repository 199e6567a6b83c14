#include "nt/terminate_task.h"

#include <iomanip>
#include <iostream>

#include "front/options.h"

int PrivilegePending = 1;

int EnableDebugPriv() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return 0;
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueA(nullptr, SE_DEBUG_NAME, &privileges.Privileges[0].Luid)) return 0;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // The call's own result says nothing about a privilege the account does
    // not hold; the last error does (ERROR_NOT_ALL_ASSIGNED).
    AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
    return GetLastError() == ERROR_SUCCESS ? 1 : 0;
}

void TerminateTask(DWORD pid) {
    if (PrivilegePending) {
        PrivilegePending = 0;
        if (!EnableDebugPriv()) {
            std::cout << " not killed: EnableDebugPriv() failed: rc = $";
            const DWORD code = GetLastError();
            std::cout << std::hex << std::uppercase << code << " !" << std::endl;
            ExitProcess(kExitError);
        }
    }
    const HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    if (process == nullptr) {
        std::cout << " not killed: Invalid PID: " << std::hex << std::uppercase << std::setfill('0')
                  << std::setw(4) << pid << " !" << std::endl;
        return;
    }
    if (TerminateProcess(process, 0xFFFF)) {
        std::cout << " ... killed" << std::endl;
    } else {
        std::cout << " not killed: TerminateProcess(): rc = $";
        const DWORD code = GetLastError();
        std::cout << std::hex << std::uppercase << code << " !" << std::endl;
    }
    CloseHandle(process);
}
