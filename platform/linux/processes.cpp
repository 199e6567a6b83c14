// placeholder until the NT back end's Linux seam lands
#include "platform/win32.h"
HANDLE OpenProcess(DWORD, BOOL, DWORD) { SetLastError(ERROR_INVALID_PARAMETER); return nullptr; }
BOOL TerminateProcess(HANDLE, UINT) { SetLastError(ERROR_ACCESS_DENIED); return FALSE; }
BOOL CloseHandle(HANDLE) { return FALSE; }
