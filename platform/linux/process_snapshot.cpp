// The process image of a Toolhelp32 snapshot: one pass over the proc folder,
// reading per process its stat, its exe link and, only when that link
// cannot be read, the start of its command line.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "platform/linux/procfs.h"
#include "platform/linux/toolhelp_fields.h"
#include "platform/linux/toolhelp_snapshot.h"

namespace {

constexpr uint32_t kKernelThreadFlag = 0x00200000;  // PF_KTHREAD

// "<root>/<pid>/<name>" into `path`; false when it does not fit.
bool PidPath(DWORD pid, const char* name, char* path, size_t capacity) {
    int len = std::snprintf(path, capacity, "%s/%u/%s", ProcRoot().c_str(), pid, name);
    return len >= 0 && static_cast<size_t>(len) < capacity;
}

enum class CommandLine { Read, Empty, Gone };

// The first word of the command line (up to its first NUL), cut to
// MAX_PATH - 1 bytes. Gone when the process has ended.
CommandLine ReadFirstWord(DWORD pid, std::string& word) {
    char path[4096];
    if (!PidPath(pid, "cmdline", path, sizeof path)) return CommandLine::Gone;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return CommandLine::Gone;
    char buffer[MAX_PATH];
    ssize_t n;
    do {
        n = read(fd, buffer, sizeof buffer - 1);
    } while (n < 0 && errno == EINTR);
    close(fd);
    if (n <= 0) return CommandLine::Empty;
    std::string_view text(buffer, static_cast<size_t>(n));
    text = text.substr(0, text.find('\0'));
    if (text.empty()) return CommandLine::Empty;
    word.assign(text);
    return CommandLine::Read;
}

void AppendName(ToolhelpSnapshot& snapshot, ProcessRecord& record, std::string_view name) {
    if (name.size() > MAX_PATH - 1) name = name.substr(0, MAX_PATH - 1);
    record.nameOffset = static_cast<uint32_t>(snapshot.text.size());
    record.nameLength = static_cast<uint32_t>(name.size());
    snapshot.text.append(name);
}

void AppendBracketedName(ToolhelpSnapshot& snapshot, ProcessRecord& record, const std::string& comm) {
    record.nameOffset = static_cast<uint32_t>(snapshot.text.size());
    snapshot.text.push_back('[');
    snapshot.text.append(comm, 0, MAX_PATH - 3);
    snapshot.text.push_back(']');
    record.nameLength = static_cast<uint32_t>(snapshot.text.size() - record.nameOffset);
}

}  // namespace

ExeImage ReadExeImage(DWORD pid) {
    ExeImage image;
    char path[4096];
    if (!PidPath(pid, "exe", path, sizeof path)) return image;
    char target[4096];
    ssize_t n = readlink(path, target, sizeof target - 1);
    if (n <= 0) return image;
    target[n] = '\0';
    std::string_view name(target, static_cast<size_t>(n));

    struct stat file;
    if (stat(path, &file) == 0) {
        image.device = static_cast<uint64_t>(file.st_dev);
        image.inode = static_cast<uint64_t>(file.st_ino);
        image.moduleId = ModuleIdFor(image.device, image.inode);
        // The kernel marks the target of an unlinked file " (deleted)". The
        // mark belongs to the name only when that very file is found under it.
        std::string_view stripped = StripDeletedMark(name);
        if (stripped.size() != name.size()) {
            struct stat named;
            bool sameFile = stat(target, &named) == 0 && named.st_dev == file.st_dev &&
                            named.st_ino == file.st_ino;
            if (!sameFile) name = stripped;
        }
    }
    image.known = true;
    image.path.assign(name.substr(0, MAX_PATH - 1));
    return image;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return ERROR_ACCESS_DENIED;
        case ENOMEM:
        case EMFILE:
        case ENFILE:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_INVALID_PARAMETER;
    }
}

bool FillProcessImage(ToolhelpSnapshot& snapshot) {
    std::vector<DWORD> pids = ListProcessIds();
    if (pids.empty() && access(ProcRoot().c_str(), R_OK | X_OK) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return false;
    }
    BeginSnapshotStarts();
    snapshot.processes.reserve(pids.size());
    snapshot.text.reserve(pids.size() * 24);
    std::string word;
    for (DWORD pid : pids) {
        ProcStat stat;
        if (!ReadProcessStat(pid, stat)) continue;  // ended since the scan
        ProcessRecord record;
        record.pid = pid;
        record.ppid = stat.ppid;
        record.threads = stat.threads;
        record.priority = BasePriorityFor(stat.policy, stat.nice);
        if ((stat.flags & kKernelThreadFlag) != 0) {
            AppendBracketedName(snapshot, record, stat.comm);
        } else {
            ExeImage exe = ReadExeImage(pid);
            if (exe.known) {
                record.moduleId = exe.moduleId;
                AppendName(snapshot, record, exe.path);
            } else {
                // Another user's process, or one that has ended (a zombie
                // keeps its stat but has no command line).
                CommandLine line = ReadFirstWord(pid, word);
                if (line == CommandLine::Gone) continue;
                if (line == CommandLine::Read)
                    AppendName(snapshot, record, word);
                else
                    AppendBracketedName(snapshot, record, stat.comm);
            }
        }
        NoteSnapshotStart(pid, stat.startTicks);
        snapshot.processes.push_back(record);
    }
    EndSnapshotStarts();
    return true;
}
