// placeholder until the 95/98 back end's Linux seam lands
#include "platform/win32.h"
HMODULE LoadLibraryA(const char*) { return nullptr; }
FARPROC GetProcAddress(HMODULE, const char*) { return nullptr; }
BOOL FreeLibrary(HMODULE) { return FALSE; }
HANDLE CreateToolhelp32Snapshot(DWORD, DWORD) { return INVALID_HANDLE_VALUE; }
BOOL Process32First(HANDLE, PROCESSENTRY32*) { return FALSE; }
BOOL Process32Next(HANDLE, PROCESSENTRY32*) { return FALSE; }
BOOL Module32First(HANDLE, MODULEENTRY32*) { return FALSE; }
BOOL Module32Next(HANDLE, MODULEENTRY32*) { return FALSE; }
