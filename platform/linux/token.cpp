// Access tokens of the Linux seam. Every account may terminate its own
// processes, so the debug privilege is granted to all; enabling it also
// raises CAP_KILL where the process holds it permitted but not effective,
// so that an account with that capability reaches other users' processes.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/linux/handles.h"
#include "platform/linux/unicode.h"
#include "platform/win32.h"

namespace {

// The platform's identifier of the debug privilege.
constexpr DWORD kDebugPrivilegeLuid = 20;

struct TokenHandle {
    SeamHandle header;
};

void ReleaseToken(SeamHandle* self) {
    self->magic = 0;
    delete reinterpret_cast<TokenHandle*>(self);
}

bool IsToken(HANDLE handle) {
    SeamHandle* seam = AsSeamHandle(handle);
    return seam != nullptr && seam->release == ReleaseToken;
}

// Makes CAP_KILL effective when it is permitted; quietly leaves things as
// they are otherwise (own processes need no capability).
void RaiseKillCapability() {
    __user_cap_header_struct header{};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0;
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0) return;
    const unsigned word = CAP_KILL / 32;
    const uint32_t bit = 1u << (CAP_KILL % 32);
    if ((data[word].permitted & bit) == 0 || (data[word].effective & bit) != 0) return;
    data[word].effective |= bit;
    syscall(SYS_capset, &header, data);
}

}  // namespace

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }

BOOL OpenProcessToken(HANDLE process, DWORD, HANDLE* token) {
    if (token == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (process != GetCurrentProcess()) {
        // Only the own token is reachable.
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *token = new TokenHandle{{kSeamHandleMagic, ReleaseToken}};
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL LookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid) {
    if (luid == nullptr || name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (systemName != nullptr && systemName[0] != '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (CompareIgnoringCase(name, SE_DEBUG_NAME) != 0) {
        SetLastError(ERROR_NO_SUCH_PRIVILEGE);
        return FALSE;
    }
    luid->LowPart = kDebugPrivilegeLuid;
    luid->HighPart = 0;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState,
                           DWORD bufferLength, TOKEN_PRIVILEGES* previousState, DWORD* returnLength) {
    if (!IsToken(token)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (previousState != nullptr && bufferLength < sizeof(TOKEN_PRIVILEGES)) {
        if (returnLength != nullptr) *returnLength = sizeof(TOKEN_PRIVILEGES);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (disableAll) {
        // Disabling changes nothing: the account's own processes stay
        // reachable either way.
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    if (newState == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool allAssigned = true;
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
        // The record is declared with one entry; a caller with more passes
        // a larger record.
        const LUID_AND_ATTRIBUTES& entry = newState->Privileges[i];
        if (entry.Luid.LowPart != kDebugPrivilegeLuid || entry.Luid.HighPart != 0) {
            allAssigned = false;
            continue;
        }
        if (entry.Attributes & SE_PRIVILEGE_ENABLED) RaiseKillCapability();
    }
    if (previousState != nullptr) {
        previousState->PrivilegeCount = 0;
        if (returnLength != nullptr) *returnLength = sizeof(DWORD);
    }
    SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}
