// Test runner on the Windows side. Starts one command line with its standard
// handles, waits for it and reports on standard error, one "runner: " line
// each, the process identifier and the full 32-bit exit code that
// GetExitCodeProcess gives (a Linux parent of Wine sees only 8 bits of it).
//
//   runner [--snapshot] [--spawn <program>] -- <command line>
//
// --snapshot  lists every process of a Toolhelp32 snapshot, before and after
//             the command ("runner: before|after <pid> <exe file>").
// --spawn     starts <program> first and waits until a snapshot shows it
//             ("runner: spawned <pid>"); after the command it gives it ten
//             seconds to end and reports "runner: spawned exit <code>", or
//             "runner: spawned still running" and then ends it itself.
//
// The command line is passed on exactly as it stands after " -- ", except
// that "{spawned}" is replaced by the spawned PID in uppercase hexadecimal.
// The runner's own PID is reported first ("runner: self <pid>").
// Exit status: 0 when everything could be run, 2 otherwise.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "runner: %s failed, error %lu\n", what, GetLastError());
    return 2;
}

bool InSnapshot(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !found;
         more = Process32Next(snapshot, &entry))
        found = entry.th32ProcessID == pid;
    CloseHandle(snapshot);
    return found;
}

int PrintSnapshot(const char* when) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return Fail("CreateToolhelp32Snapshot");
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    if (!Process32First(snapshot, &entry)) return Fail("Process32First");
    do {
        std::fprintf(stderr, "runner: %s %lu %s\n", when, entry.th32ProcessID, entry.szExeFile);
    } while (Process32Next(snapshot, &entry));
    CloseHandle(snapshot);
    return 0;
}

// The command line after the first " -- " of our own.
const char* CommandAfterSeparator() {
    const char* separator = std::strstr(GetCommandLineA(), " -- ");
    return separator ? separator + 4 : nullptr;
}

// Copies `command` into `out` with every "{spawned}" replaced by `pid`.
bool SubstitutePid(const char* command, DWORD pid, char* out, size_t size) {
    static const char kMark[] = "{spawned}";
    char hex[16];
    std::snprintf(hex, sizeof hex, "%lX", pid);
    size_t used = 0;
    for (const char* p = command; *p != '\0';) {
        const bool mark = std::strncmp(p, kMark, sizeof kMark - 1) == 0;
        const char* piece = mark ? hex : p;
        const size_t length = mark ? std::strlen(hex) : 1;
        if (used + length >= size) return false;
        std::memcpy(out + used, piece, length);
        used += length;
        p += mark ? sizeof kMark - 1 : 1;
    }
    out[used] = '\0';
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool snapshot = false;
    const char* spawn = nullptr;
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--snapshot") == 0) {
            snapshot = true;
        } else if (std::strcmp(argv[i], "--spawn") == 0 && i + 1 < argc) {
            spawn = argv[++i];
        } else {
            std::fprintf(stderr, "runner: unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    const char* command = CommandAfterSeparator();
    if (command == nullptr) {
        std::fprintf(stderr, "runner: usage: runner [--snapshot] [--spawn <program>] -- <command>\n");
        return 2;
    }
    std::fprintf(stderr, "runner: self %lu\n", GetCurrentProcessId());

    PROCESS_INFORMATION spawned{};
    if (spawn != nullptr) {
        char spawnLine[MAX_PATH + 2];
        std::snprintf(spawnLine, sizeof spawnLine, "%s", spawn);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessA(nullptr, spawnLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &spawned))
            return Fail("CreateProcess of the spawned program");
        CloseHandle(spawned.hThread);
        int tries = 0;
        while (!InSnapshot(spawned.dwProcessId) && ++tries < 100) Sleep(50);
        if (tries == 100) return Fail("waiting for the spawned program");
        std::fprintf(stderr, "runner: spawned %lu\n", spawned.dwProcessId);
    }

    if (snapshot && PrintSnapshot("before") != 0) return 2;

    static char commandLine[32768];
    if (!SubstitutePid(command, spawned.dwProcessId, commandLine, sizeof commandLine)) {
        std::fprintf(stderr, "runner: command line too long\n");
        return 2;
    }

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &child))
        return Fail("CreateProcess of the command");
    CloseHandle(child.hThread);
    std::fprintf(stderr, "runner: started %lu\n", child.dwProcessId);
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(child.hProcess, &code)) return Fail("GetExitCodeProcess");
    CloseHandle(child.hProcess);
    std::fprintf(stderr, "runner: exit %lu\n", code);

    if (snapshot && PrintSnapshot("after") != 0) return 2;

    if (spawn != nullptr) {
        if (WaitForSingleObject(spawned.hProcess, 10000) == WAIT_OBJECT_0) {
            DWORD spawnedCode = 0;
            GetExitCodeProcess(spawned.hProcess, &spawnedCode);
            std::fprintf(stderr, "runner: spawned exit %lu\n", spawnedCode);
        } else {
            std::fprintf(stderr, "runner: spawned still running\n");
            TerminateProcess(spawned.hProcess, 1);
            WaitForSingleObject(spawned.hProcess, 10000);
        }
        CloseHandle(spawned.hProcess);
    }
    return 0;
}
