// placeholder until the NT back end's Linux seam lands
#include "platform/win32.h"
HANDLE GetCurrentProcess() { return INVALID_HANDLE_VALUE; }
BOOL OpenProcessToken(HANDLE, DWORD, HANDLE*) { SetLastError(ERROR_ACCESS_DENIED); return FALSE; }
BOOL LookupPrivilegeValueA(const char*, const char*, LUID*) { SetLastError(ERROR_NO_SUCH_PRIVILEGE); return FALSE; }
BOOL AdjustTokenPrivileges(HANDLE, BOOL, TOKEN_PRIVILEGES*, DWORD, TOKEN_PRIVILEGES*, DWORD*) { SetLastError(ERROR_ACCESS_DENIED); return FALSE; }
