// The module image of a Toolhelp32 snapshot: one module per distinct file
// that a process maps, read from its maps file, the executable first.
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/linux/procfs.h"
#include "platform/linux/toolhelp_fields.h"
#include "platform/linux/toolhelp_snapshot.h"

namespace {

struct FileKey {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t end = 0;  // the end of the file's last mapping seen so far
};

struct ModuleScan {
    ToolhelpSnapshot& snapshot;
    DWORD pid;
    const ExeImage& exe;
    std::vector<FileKey> keys;  // parallel to snapshot.modules
    size_t exeIndex = SIZE_MAX;
};

void AppendModule(ModuleScan& scan, std::string_view path, DWORD moduleId, uint64_t base, uint64_t end) {
    if (path.size() > MAX_PATH - 1) path = path.substr(0, MAX_PATH - 1);
    ModuleRecord record;
    record.moduleId = moduleId;
    record.pid = scan.pid;
    record.base = base;
    uint64_t size = end - base;
    record.size = size > UINT32_MAX ? UINT32_MAX : static_cast<DWORD>(size);
    record.pathOffset = static_cast<uint32_t>(scan.snapshot.text.size());
    record.pathLength = static_cast<uint32_t>(path.size());
    record.nameStart = static_cast<uint32_t>(path.size() - FileNameOf(path).size());
    scan.snapshot.text.append(path);
    scan.snapshot.modules.push_back(record);
}

void TakeLine(ModuleScan& scan, std::string_view text) {
    MapsLine line;
    if (!ParseMapsLine(text, line) || !IsModuleMapping(line)) return;
    const uint64_t device = static_cast<uint64_t>(makedev(line.devMajor, line.devMinor));
    for (FileKey& key : scan.keys) {
        if (key.device == device && key.inode == line.inode) {
            key.end = std::max(key.end, line.end);
            return;
        }
    }
    std::string_view path = StripDeletedMark(line.path);
    DWORD moduleId = ModuleIdForMaps(line);
    // The executable is known by its file, or by its path where the maps
    // show another device than stat does (as on overlay file systems).
    if (scan.exe.known && scan.exeIndex == SIZE_MAX &&
        ((device == scan.exe.device && line.inode == scan.exe.inode) ||
         path.substr(0, MAX_PATH - 1) == scan.exe.path)) {
        scan.exeIndex = scan.snapshot.modules.size();
        path = scan.exe.path;
        if (scan.exe.moduleId != 0) moduleId = scan.exe.moduleId;
    }
    scan.keys.push_back({device, line.inode, line.end});
    AppendModule(scan, path, moduleId, line.start, line.end);
}

// Sizes follow the extent of each file's mappings; the executable moves to
// the front (or is added there when its file is not mapped).
void FinishModules(ModuleScan& scan) {
    auto& modules = scan.snapshot.modules;
    for (size_t i = 0; i < modules.size(); ++i) {
        uint64_t size = scan.keys[i].end - modules[i].base;
        modules[i].size = size > UINT32_MAX ? UINT32_MAX : static_cast<DWORD>(size);
    }
    if (scan.exeIndex != SIZE_MAX) {
        std::rotate(modules.begin(), modules.begin() + static_cast<std::ptrdiff_t>(scan.exeIndex),
                    modules.begin() + static_cast<std::ptrdiff_t>(scan.exeIndex) + 1);
    } else if (scan.exe.known && scan.exe.moduleId != 0) {
        AppendModule(scan, scan.exe.path, scan.exe.moduleId, 0, 0);
        std::rotate(modules.begin(), modules.end() - 1, modules.end());
    }
}

}  // namespace

bool FillModuleImage(ToolhelpSnapshot& snapshot, DWORD pid) {
    if (pid == 0) pid = static_cast<DWORD>(getpid());
    char path[4096];
    int len = std::snprintf(path, sizeof path, "%s/%u/maps", ProcRoot().c_str(), pid);
    if (len < 0 || static_cast<size_t>(len) >= sizeof path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return false;
    }
    const ExeImage exe = ReadExeImage(pid);
    ModuleScan scan{snapshot, pid, exe, {}, SIZE_MAX};

    // Lines are taken from a fixed buffer; a line longer than the buffer
    // (no real one is) is skipped up to its line feed.
    char buffer[16384];
    size_t held = 0;
    bool skipping = false;
    bool readAny = false;
    for (;;) {
        ssize_t n = read(fd, buffer + held, sizeof buffer - held);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && !readAny) {
            int error = errno;
            close(fd);
            SetLastError(ErrorFromErrno(error));
            return false;
        }
        if (n <= 0) break;  // the end, or the process has gone meanwhile
        readAny = true;
        held += static_cast<size_t>(n);
        size_t begin = 0;
        for (size_t i = 0; i < held; ++i) {
            if (buffer[i] != '\n') continue;
            if (!skipping) TakeLine(scan, std::string_view(buffer + begin, i - begin));
            skipping = false;
            begin = i + 1;
        }
        if (begin == 0 && held == sizeof buffer) {
            skipping = true;
            held = 0;
        } else {
            std::memmove(buffer, buffer + begin, held - begin);
            held -= begin;
        }
    }
    close(fd);
    if (held > 0 && !skipping) TakeLine(scan, std::string_view(buffer, held));
    FinishModules(scan);
    return true;
}
