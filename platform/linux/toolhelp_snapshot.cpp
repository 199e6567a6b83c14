// CreateToolhelp32Snapshot and the four walks over its image.
#include "platform/linux/toolhelp_snapshot.h"

#include <cstring>
#include <new>

#include "platform/linux/toolhelp_fields.h"

namespace {

void ReleaseSnapshot(SeamHandle* self) {
    self->magic = 0;
    delete reinterpret_cast<ToolhelpSnapshot*>(self);
}

ToolhelpSnapshot* AsSnapshot(HANDLE handle) {
    SeamHandle* seam = AsSeamHandle(handle);
    if (seam == nullptr || seam->release != ReleaseSnapshot) return nullptr;
    return reinterpret_cast<ToolhelpSnapshot*>(seam);
}

// The checks every walk makes before it moves: a snapshot handle, and a
// record at least as large as the platform's.
template <class Entry>
ToolhelpSnapshot* WalkTarget(HANDLE handle, Entry* entry) {
    ToolhelpSnapshot* snapshot = AsSnapshot(handle);
    if (snapshot == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (entry == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (entry->dwSize < sizeof(Entry)) {
        SetLastError(ERROR_BAD_LENGTH);
        return nullptr;
    }
    return snapshot;
}

BOOL NextProcess(ToolhelpSnapshot& snapshot, PROCESSENTRY32* entry) {
    if (snapshot.nextProcess >= snapshot.processes.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    const ProcessRecord& record = snapshot.processes[snapshot.nextProcess++];
    const DWORD size = entry->dwSize;
    std::memset(entry, 0, sizeof *entry);
    entry->dwSize = size;
    entry->th32ProcessID = record.pid;
    entry->th32ParentProcessID = record.ppid;
    entry->th32ModuleID = record.moduleId;
    entry->cntThreads = record.threads;
    entry->pcPriClassBase = record.priority;
    CopyCut(std::string_view(snapshot.text).substr(record.nameOffset, record.nameLength),
            entry->szExeFile, sizeof entry->szExeFile);
    return TRUE;
}

BOOL NextModule(ToolhelpSnapshot& snapshot, MODULEENTRY32* entry) {
    if (snapshot.nextModule >= snapshot.modules.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    const ModuleRecord& record = snapshot.modules[snapshot.nextModule++];
    const DWORD size = entry->dwSize;
    std::memset(entry, 0, sizeof *entry);
    entry->dwSize = size;
    entry->th32ModuleID = record.moduleId;
    entry->th32ProcessID = record.pid;
    entry->modBaseAddr = reinterpret_cast<BYTE*>(static_cast<uintptr_t>(record.base));
    entry->modBaseSize = record.size;
    entry->hModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(record.base));
    std::string_view path = std::string_view(snapshot.text).substr(record.pathOffset, record.pathLength);
    CopyCut(path.substr(record.nameStart), entry->szModule, sizeof entry->szModule);
    CopyCut(path, entry->szExePath, sizeof entry->szExePath);
    return TRUE;
}

}  // namespace

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
    const bool processes = (flags & TH32CS_SNAPPROCESS) != 0;
    const bool modules = (flags & TH32CS_SNAPMODULE) != 0;
    if (!processes && !modules) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    ToolhelpSnapshot* snapshot = nullptr;
    try {
        snapshot = new ToolhelpSnapshot{};
        snapshot->header = {kSeamHandleMagic, ReleaseSnapshot};
        if ((modules && !FillModuleImage(*snapshot, processId)) ||
            (processes && !FillProcessImage(*snapshot))) {
            delete snapshot;
            return INVALID_HANDLE_VALUE;
        }
    } catch (const std::bad_alloc&) {
        delete snapshot;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return snapshot;
}

BOOL Process32First(HANDLE handle, PROCESSENTRY32* entry) {
    ToolhelpSnapshot* snapshot = WalkTarget(handle, entry);
    if (snapshot == nullptr) return FALSE;
    snapshot->nextProcess = 0;
    return NextProcess(*snapshot, entry);
}

BOOL Process32Next(HANDLE handle, PROCESSENTRY32* entry) {
    ToolhelpSnapshot* snapshot = WalkTarget(handle, entry);
    return snapshot != nullptr ? NextProcess(*snapshot, entry) : FALSE;
}

BOOL Module32First(HANDLE handle, MODULEENTRY32* entry) {
    ToolhelpSnapshot* snapshot = WalkTarget(handle, entry);
    if (snapshot == nullptr) return FALSE;
    snapshot->nextModule = 0;
    return NextModule(*snapshot, entry);
}

BOOL Module32Next(HANDLE handle, MODULEENTRY32* entry) {
    ToolhelpSnapshot* snapshot = WalkTarget(handle, entry);
    return snapshot != nullptr ? NextModule(*snapshot, entry) : FALSE;
}
