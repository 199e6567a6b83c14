// The one door to the Win32 operations, types and constants the tool uses.
//
// On Windows this is the platform's own headers. Elsewhere it declares the
// few records, constants and functions the tool needs, with the documented
// Win32 layouts (a LONG and a DWORD are 32 bits), and one implementation of
// the functions is chosen when the executable is linked.
#pragma once

#ifdef _WIN32

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0400  // keeps PROCESS_ALL_ACCESS at the mask NT 4.0 accepts
#endif
#include <windows.h>
#include <tlhelp32.h>
#include <winperf.h>

#else

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int64_t LONGLONG;
typedef int BOOL;
typedef unsigned int UINT;
typedef char CHAR;
typedef char16_t WCHAR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef intptr_t LPARAM;
typedef uintptr_t WPARAM;
typedef DWORD REGSAM;
typedef void* HANDLE;
typedef struct HKEY__* HKEY;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HMODULE;
typedef intptr_t(WINAPI* FARPROC)();
typedef BOOL(CALLBACK* WNDENUMPROC)(HWND, LPARAM);

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_BAD_LENGTH 24L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_NOT_ALL_ASSIGNED 1300L
#define ERROR_NO_SUCH_PRIVILEGE 1313L

#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_PERFORMANCE_DATA ((HKEY)(ULONG_PTR)((LONG)0x80000004))
#define KEY_READ 0x20019
#define REG_MULTI_SZ 7
#define REG_BINARY 3
#define LANG_ENGLISH 0x09

#define CP_ACP 0
#define CP_UTF8 65001

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define PROCESS_ALL_ACCESS 0x1F0FFF
#define PROCESS_TERMINATE 0x0001
#define TOKEN_ADJUST_PRIVILEGES 0x0020
#define TOKEN_QUERY 0x0008
#define SE_PRIVILEGE_ENABLED 0x00000002
#define SE_DEBUG_NAME "SeDebugPrivilege"

#define TH32CS_SNAPPROCESS 0x00000002
#define TH32CS_SNAPMODULE 0x00000008

#define PERF_NO_INSTANCES (-1)

typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} LARGE_INTEGER;

typedef struct _OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
} OSVERSIONINFOA;

typedef struct _LUID {
    DWORD LowPart;
    LONG HighPart;
} LUID;

typedef struct _LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
} LUID_AND_ATTRIBUTES;

typedef struct _TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
} TOKEN_PRIVILEGES;

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME;

// Performance data blocks. The title pointers of the object and counter
// records are 32-bit fields on 64-bit systems, so these layouts are the
// same on every system: 40 bytes a counter definition.
typedef struct _PERF_DATA_BLOCK {
    WCHAR Signature[4];
    DWORD LittleEndian;
    DWORD Version;
    DWORD Revision;
    DWORD TotalByteLength;
    DWORD HeaderLength;
    DWORD NumObjectTypes;
    LONG DefaultObject;
    SYSTEMTIME SystemTime;
    LARGE_INTEGER PerfTime;
    LARGE_INTEGER PerfFreq;
    LARGE_INTEGER PerfTime100nSec;
    DWORD SystemNameLength;
    DWORD SystemNameOffset;
} PERF_DATA_BLOCK;

typedef struct _PERF_OBJECT_TYPE {
    DWORD TotalByteLength;
    DWORD DefinitionLength;
    DWORD HeaderLength;
    DWORD ObjectNameTitleIndex;
    DWORD ObjectNameTitle;
    DWORD ObjectHelpTitleIndex;
    DWORD ObjectHelpTitle;
    DWORD DetailLevel;
    DWORD NumCounters;
    LONG DefaultCounter;
    LONG NumInstances;
    DWORD CodePage;
    LARGE_INTEGER PerfTime;
    LARGE_INTEGER PerfFreq;
} PERF_OBJECT_TYPE;

typedef struct _PERF_COUNTER_DEFINITION {
    DWORD ByteLength;
    DWORD CounterNameTitleIndex;
    DWORD CounterNameTitle;
    DWORD CounterHelpTitleIndex;
    DWORD CounterHelpTitle;
    LONG DefaultScale;
    DWORD DetailLevel;
    DWORD CounterType;
    DWORD CounterSize;
    DWORD CounterOffset;
} PERF_COUNTER_DEFINITION;

typedef struct _PERF_INSTANCE_DEFINITION {
    DWORD ByteLength;
    DWORD ParentObjectTitleIndex;
    DWORD ParentObjectInstance;
    LONG UniqueID;
    DWORD NameOffset;
    DWORD NameLength;
} PERF_INSTANCE_DEFINITION;

typedef struct _PERF_COUNTER_BLOCK {
    DWORD ByteLength;
} PERF_COUNTER_BLOCK;

#define PERF_DETAIL_NOVICE 100
#define PERF_COUNTER_RAWCOUNT 0x00010000
#define PERF_COUNTER_LARGE_RAWCOUNT 0x00010100
#define PERF_100NSEC_TIMER 0x20510500

typedef struct tagPROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    CHAR szExeFile[MAX_PATH];
} PROCESSENTRY32;

typedef struct tagMODULEENTRY32 {
    DWORD dwSize;
    DWORD th32ModuleID;
    DWORD th32ProcessID;
    DWORD GlblcntUsage;
    DWORD ProccntUsage;
    BYTE* modBaseAddr;
    DWORD modBaseSize;
    HMODULE hModule;
    char szModule[256];
    char szExePath[MAX_PATH];
} MODULEENTRY32;

// KERNEL32
BOOL GetVersionExA(OSVERSIONINFOA* info);
DWORD GetVersion();
[[noreturn]] void ExitProcess(UINT exitCode);
DWORD GetLastError();
void SetLastError(DWORD code);
UINT GetACP();
BOOL IsDBCSLeadByte(BYTE byte);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideCount, char* bytes,
                        int byteCount, const char* defaultChar, BOOL* usedDefaultChar);
HANDLE GetCurrentProcess();
HANDLE OpenProcess(DWORD access, BOOL inherit, DWORD processId);
BOOL TerminateProcess(HANDLE process, UINT exitCode);
BOOL CloseHandle(HANDLE handle);
HMODULE LoadLibraryA(const char* name);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
BOOL Process32First(HANDLE snapshot, PROCESSENTRY32* entry);
BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32* entry);
BOOL Module32First(HANDLE snapshot, MODULEENTRY32* entry);
BOOL Module32Next(HANDLE snapshot, MODULEENTRY32* entry);
int lstrcmpiA(const char* a, const char* b);

// ADVAPI32
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegCloseKey(HKEY key);
BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token);
BOOL LookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid);
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState,
                           DWORD bufferLength, TOKEN_PRIVILEGES* previousState,
                           DWORD* returnLength);

// USER32
BOOL EnumWindows(WNDENUMPROC callback, LPARAM context);
DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);
int GetWindowTextA(HWND window, char* text, int size);

#endif
