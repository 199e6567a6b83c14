// placeholder until the NT back end's Linux seam lands
#include "platform/win32.h"
LONG RegOpenKeyExA(HKEY, const char*, DWORD, REGSAM, HKEY*) { return ERROR_FILE_NOT_FOUND; }
LONG RegQueryValueExA(HKEY, const char*, DWORD*, DWORD*, BYTE*, DWORD*) { return ERROR_FILE_NOT_FOUND; }
LONG RegCloseKey(HKEY) { return ERROR_SUCCESS; }
