// The scripted platform: a fake machine that answers every Win32 operation
// of the seam from what a test sets up, and logs the calls made.
//
// A test fills Fake() (after ResetFake(), which the fixtures do), then runs
// program code in a child process with RunIsolated or RunProgram (see
// run_isolated.h), which returns the output, the full 32-bit exit status and
// the call log.
#pragma once
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/win32.h"

struct FakeRegistryValue {
    std::string data;
    // Results of successive queries of this value; a result other than
    // ERROR_SUCCESS is returned as it is, without touching the buffers.
    // Queries past the end of the list behave normally: the size alone
    // without a buffer, ERROR_MORE_DATA with the size when the buffer is
    // too small, else the data.
    std::vector<LONG> results;
};

struct FakeKey {
    LONG openResult = ERROR_SUCCESS;
    std::map<std::string, FakeRegistryValue> values;
};

// One reply of HKEY_PERFORMANCE_DATA. The bytes of `data` that fit in the
// caller's buffer are copied into it (when there is one); the size variable
// is then set to `size`, or to the length of `data` when no size is given.
struct FakePerfReply {
    LONG result = ERROR_SUCCESS;
    std::string data;
    std::optional<DWORD> size;
};

struct FakeWindow {
    DWORD pid = 0;
    DWORD threadId = 1;  // 0: GetWindowThreadProcessId reports no thread
    std::string text;
};

// What OpenProcess and TerminateProcess do for one PID. A PID without an
// entry cannot be opened (ERROR_INVALID_PARAMETER).
struct FakeProcess {
    bool openable = true;
    DWORD openError = ERROR_INVALID_PARAMETER;
    BOOL terminateResult = TRUE;
    DWORD terminateError = ERROR_ACCESS_DENIED;
    bool isSelf = false;  // terminating it ends the program with the exit code given
};

struct FakeSnapshotProcess {
    DWORD pid = 0;
    DWORD parent = 0;
    DWORD moduleId = 0;
    DWORD threads = 1;
    LONG priority = 8;
    std::string exe;
};

struct FakeModule {
    DWORD moduleId = 0;
    std::string name;
    std::string path;
};

struct FakeModuleList {
    bool available = true;  // false: the module snapshot gives INVALID_HANDLE_VALUE
    std::vector<FakeModule> modules;
};

struct FakeMachine {
    // Version. GetVersion gives `versionWord` when set, else major, minor and
    // build in the usual bits, with bit 31 set unless the platform is NT.
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD major = 4;
    DWORD minor = 0;
    DWORD build = 1381;
    std::optional<DWORD> versionWord;

    // Code page: lead bytes of a double-byte ANSI code page (none by default).
    UINT codePage = 1252;
    std::set<unsigned char> leadBytes;

    // Registry under HKEY_LOCAL_MACHINE, keyed by the subkey text in lower
    // case. Replies of HKEY_PERFORMANCE_DATA in the order of the queries;
    // once they are used up, a query gives ERROR_FILE_NOT_FOUND.
    std::map<std::string, FakeKey> machineKeys;
    std::vector<FakePerfReply> perfReplies;

    // Top-level windows, in enumeration order.
    std::vector<FakeWindow> windows;

    // Token and privilege outcomes.
    bool openTokenOk = true;
    DWORD openTokenError = ERROR_ACCESS_DENIED;
    bool lookupOk = true;
    DWORD lookupError = ERROR_NO_SUCH_PRIVILEGE;
    DWORD adjustLastError = ERROR_SUCCESS;  // ERROR_NOT_ALL_ASSIGNED: privilege not held

    // Processes that OpenProcess may open, by PID.
    std::map<DWORD, FakeProcess> processes;

    // The Toolhelp library and its snapshots.
    bool kernel32Loads = true;
    std::set<std::string> missingExports;
    bool processSnapshotFails = false;
    std::vector<FakeSnapshotProcess> snapshot;
    std::map<DWORD, FakeModuleList> modules;  // by PID; a PID without a list: INVALID_HANDLE_VALUE

    // The calls made, one line each, e.g. "RegCloseKey HKEY_PERFORMANCE_DATA".
    std::vector<std::string> calls;
};

FakeMachine& Fake();
void ResetFake();

// The perflib key that holds the "Counters" list, as the fake's map keys it.
inline const char* kFakePerflibKey = "software\\microsoft\\windows nt\\currentversion\\perflib\\009";
