// The Linux procfs parsers over arbitrary file contents. The first input
// byte picks what is fuzzed:
//   0: ParseProcStat, 1: ParseProcStatm, 2: ParseMapsLine over every line,
//   3: a fixture tree in place of /proc holding one process directory whose
//      stat, statm, cmdline and maps files (and exe link) come from the
//      input; the performance data built from it is walked by the NT back
//      end's own walk, and the Toolhelp process and module snapshots are
//      walked as the 95/98 back end walks them.
// In mode 3 the rest of the input is a presence mask byte, then for each of
// stat, statm, cmdline, maps and the exe link's target a 16-bit length and
// the bytes. Nothing here opens or signals a process.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "nt/counter_index.h"
#include "nt/perf_walk.h"
#include "platform/linux/perf_block.h"
#include "platform/linux/procfs.h"
#include "platform/linux/toolhelp_fields.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kFixturePid = 4242;
std::string fixtureRoot;
std::string processDir;

void CheckStat(std::string_view text) {
    ProcStat stat;
    if (!ParseProcStat(text, stat)) return;
    const size_t open = text.find('('), close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) std::abort();
    if (stat.comm != text.substr(open + 1, close - open - 1)) std::abort();
    if (stat.state == ' ' || stat.state == '\n') std::abort();
}

void CheckStatm(std::string_view text) {
    ProcStatm statm;
    (void)ParseProcStatm(text, statm);
}

void CheckMaps(std::string_view text) {
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
        text.remove_prefix(line.size());
        MapsLine parsed;
        if (!ParseMapsLine(line, parsed)) continue;
        if (parsed.end < parsed.start) std::abort();
        if (parsed.path.data() < line.data() || parsed.path.data() + parsed.path.size() > line.data() + line.size())
            std::abort();
        (void)IsModuleMapping(parsed);
        (void)ModuleIdForMaps(parsed);
        (void)FileNameOf(StripDeletedMark(parsed.path));
    }
}

void PutFile(const char* name, std::string_view bytes) {
    const std::string path = processDir + "/" + name;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    if (!bytes.empty() && write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
    close(fd);
}

bool Terminated(const char* buffer, size_t capacity) { return std::memchr(buffer, '\0', capacity) != nullptr; }

void CheckTree(const uint8_t* bytes, size_t size) {
    static const char* const names[] = {"stat", "statm", "cmdline", "maps"};
    for (const char* name : names) unlink((processDir + "/" + name).c_str());
    unlink((processDir + "/exe").c_str());
    if (size == 0) return;
    const uint8_t present = bytes[0];
    ++bytes;
    --size;
    std::string parts[5];
    for (std::string& part : parts) {
        if (size < 2) break;
        size_t length = static_cast<size_t>(bytes[0]) | static_cast<size_t>(bytes[1]) << 8;
        bytes += 2;
        size -= 2;
        if (length > size) length = size;
        part.assign(reinterpret_cast<const char*>(bytes), length);
        bytes += length;
        size -= length;
    }
    for (int i = 0; i < 4; ++i)
        if (present & (1u << i)) PutFile(names[i], parts[i]);
    std::string target = parts[4].substr(0, parts[4].find('\0'));
    if ((present & 0x10) && !target.empty()) {
        if (symlink(target.c_str(), (processDir + "/exe").c_str()) != 0) std::abort();
    }

    // The performance data, walked by the NT back end.
    CounterTitleIndex titles;
    const std::string_view list = PerflibCountersList();
    ParseCounterList(list.data(), list.size(), titles);
    std::vector<BYTE> block = BuildPerfDataBlock(true);
    TaskTable table;
    if (!ReadProcessInstances(block.data(), block.size(), titles, table)) std::abort();  // the seam's block is well formed
    if (table.size() > 1) std::abort();
    ProcStat stat;
    const bool statOk = (present & 1) && ParseProcStat(parts[0], stat);
    if (!table.empty()) {
        if (!statOk || table[0]->ProcessId != stat.pid) std::abort();
        if (!Terminated(table[0]->ProcessName, sizeof table[0]->ProcessName)) std::abort();
    }
    for (TaskEntry* entry : table) delete entry;

    // The Toolhelp snapshots.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) std::abort();
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int processes = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        ++processes;
        if (entry.th32ProcessID != kFixturePid) std::abort();
        if (!Terminated(entry.szExeFile, sizeof entry.szExeFile)) std::abort();
    }
    if (processes > 1 || (processes == 1 && !statOk)) std::abort();
    CloseHandle(snapshot);

    snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, kFixturePid);
    if (snapshot != INVALID_HANDLE_VALUE) {
        MODULEENTRY32 module{};
        module.dwSize = sizeof module;
        for (BOOL more = Module32First(snapshot, &module); more; more = Module32Next(snapshot, &module)) {
            if (module.th32ProcessID != kFixturePid) std::abort();
            if (!Terminated(module.szModule, sizeof module.szModule) ||
                !Terminated(module.szExePath, sizeof module.szExePath))
                std::abort();
        }
        CloseHandle(snapshot);
    } else if (present & 8) {
        std::abort();  // the maps file is there and readable
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/procfs_fuzzXXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    fixtureRoot = pattern;
    processDir = fixtureRoot + "/" + std::to_string(kFixturePid);
    if (mkdir(processDir.c_str(), 0755) != 0) std::abort();
    SetProcRoot(fixtureRoot);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(bytes + 1), size - 1);
    switch (bytes[0] % 4) {
        case 0:
            CheckStat(text);
            break;
        case 1:
            CheckStatm(text);
            break;
        case 2:
            CheckMaps(text);
            break;
        default:
            CheckTree(bytes + 1, size - 1);
            break;
    }
    return 0;
}
