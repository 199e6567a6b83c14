// Handles, process termination, the access token and Toolhelp32.
#include <cstring>

#include "tests/fake/fake_internal.h"

namespace {

enum class HandleKind { Process, Token, ProcessSnapshot, ModuleSnapshot };

struct FakeHandle {
    HandleKind kind;
    DWORD pid = 0;      // the process, or the process whose modules are listed
    size_t next = 0;    // the snapshot's walk position
};

std::map<uintptr_t, FakeHandle> handles;
uintptr_t nextHandle = 0x100;
const uintptr_t kKernel32 = 0x4B000000;
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

HANDLE NewHandle(HandleKind kind, DWORD pid) {
    const uintptr_t h = (nextHandle += 4);
    handles[h] = FakeHandle{kind, pid, 0};
    return reinterpret_cast<HANDLE>(h);
}

FakeHandle* Find(HANDLE h, HandleKind kind) {
    auto it = handles.find(reinterpret_cast<uintptr_t>(h));
    if (it == handles.end() || it->second.kind != kind) return nullptr;
    return &it->second;
}

const char* KindName(HandleKind kind) {
    switch (kind) {
        case HandleKind::Process: return "process";
        case HandleKind::Token: return "token";
        case HandleKind::ProcessSnapshot: return "process-snapshot";
        case HandleKind::ModuleSnapshot: return "module-snapshot";
    }
    return "?";
}

// Win32 hands every export out as FARPROC; the caller casts it back.
template <class Function>
FARPROC AsFarproc(Function f) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f));
}

void CopyText(char* out, size_t capacity, const std::string& text) {
    const size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace

void FakeResetHandles() {
    handles.clear();
    nextHandle = 0x100;
}

HANDLE GetCurrentProcess() { return kCurrentProcess; }

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
    FakeLog(std::string("OpenProcessToken ") + (process == kCurrentProcess ? "current" : "other") +
            " " + FakeHex(access));
    if (!Fake().openTokenOk) {
        SetLastError(Fake().openTokenError);
        return FALSE;
    }
    *token = NewHandle(HandleKind::Token, 0);
    return TRUE;
}

BOOL LookupPrivilegeValueA(const char* systemName, const char* name, LUID* luid) {
    FakeLog(std::string("LookupPrivilegeValueA ") + (systemName ? systemName : "local") + " " +
            (name ? name : "(null)"));
    if (!Fake().lookupOk || name == nullptr || std::strcmp(name, SE_DEBUG_NAME) != 0) {
        SetLastError(Fake().lookupError);
        return FALSE;
    }
    luid->LowPart = 20;
    luid->HighPart = 0;
    return TRUE;
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, TOKEN_PRIVILEGES* newState,
                           DWORD bufferLength, TOKEN_PRIVILEGES* previousState,
                           DWORD* returnLength) {
    std::string line = std::string("AdjustTokenPrivileges ") +
                       (Find(token, HandleKind::Token) ? "token" : "invalid") +
                       " disableAll=" + std::to_string(disableAll);
    if (newState != nullptr) {
        line += " count=" + std::to_string(newState->PrivilegeCount) +
                " luid=" + std::to_string(newState->Privileges[0].Luid.LowPart) + ":" +
                std::to_string(newState->Privileges[0].Luid.HighPart) +
                " attributes=" + std::to_string(newState->Privileges[0].Attributes);
    }
    line += " length=" + std::to_string(bufferLength) +
            " previous=" + (previousState ? "set" : "none") +
            " returnLength=" + (returnLength ? "set" : "none");
    FakeLog(line);
    SetLastError(Fake().adjustLastError);
    return TRUE;
}

HANDLE OpenProcess(DWORD access, BOOL inherit, DWORD processId) {
    FakeLog("OpenProcess " + FakeHex(access) + " " + std::to_string(inherit) + " " +
            std::to_string(processId));
    auto it = Fake().processes.find(processId);
    if (it == Fake().processes.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!it->second.openable) {
        SetLastError(it->second.openError);
        return nullptr;
    }
    return NewHandle(HandleKind::Process, processId);
}

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
    FakeHandle* h = Find(process, HandleKind::Process);
    FakeLog("TerminateProcess " + (h ? std::to_string(h->pid) : std::string("invalid")) + " " +
            std::to_string(exitCode));
    if (h == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const FakeProcess& p = Fake().processes[h->pid];
    if (p.isSelf) FakeEndRun(RunEnd::TerminatedSelf, exitCode);
    if (!p.terminateResult) SetLastError(p.terminateError);
    return p.terminateResult;
}

BOOL CloseHandle(HANDLE handle) {
    auto it = handles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == handles.end()) {
        FakeLog("CloseHandle invalid " + FakeHex(reinterpret_cast<uintptr_t>(handle)));
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    FakeLog(std::string("CloseHandle ") + KindName(it->second.kind) + " " +
            std::to_string(it->second.pid));
    handles.erase(it);
    return TRUE;
}

HMODULE LoadLibraryA(const char* name) {
    FakeLog(std::string("LoadLibraryA ") + (name ? name : "(null)"));
    if (!Fake().kernel32Loads || name == nullptr || lstrcmpiA(name, "KERNEL32.DLL") != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(kKernel32);
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    FakeLog(std::string("GetProcAddress ") + (name ? name : "(null)"));
    if (reinterpret_cast<uintptr_t>(module) != kKernel32 || name == nullptr ||
        Fake().missingExports.count(name))
        return nullptr;
    const std::string n = name;
    if (n == "CreateToolhelp32Snapshot") return AsFarproc(&CreateToolhelp32Snapshot);
    if (n == "Process32First") return AsFarproc(&Process32First);
    if (n == "Process32Next") return AsFarproc(&Process32Next);
    if (n == "Module32First") return AsFarproc(&Module32First);
    if (n == "Module32Next") return AsFarproc(&Module32Next);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
    FakeLog("FreeLibrary " + FakeHex(reinterpret_cast<uintptr_t>(module)));
    return reinterpret_cast<uintptr_t>(module) == kKernel32 ? TRUE : FALSE;
}

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
    FakeLog("CreateToolhelp32Snapshot " + std::to_string(flags) + " " + std::to_string(processId));
    if (flags == TH32CS_SNAPPROCESS) {
        if (Fake().processSnapshotFails) return INVALID_HANDLE_VALUE;
        return NewHandle(HandleKind::ProcessSnapshot, 0);
    }
    if (flags == TH32CS_SNAPMODULE) {
        auto it = Fake().modules.find(processId);
        if (it == Fake().modules.end() || !it->second.available) return INVALID_HANDLE_VALUE;
        return NewHandle(HandleKind::ModuleSnapshot, processId);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
}

namespace {

BOOL NextProcess(HANDLE snapshot, PROCESSENTRY32* entry, bool first, const char* name) {
    FakeHandle* h = Find(snapshot, HandleKind::ProcessSnapshot);
    FakeLog(std::string(name) + " size=" + std::to_string(entry ? entry->dwSize : 0));
    if (h == nullptr || entry == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (entry->dwSize < sizeof(PROCESSENTRY32)) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    if (first) h->next = 0;
    if (h->next >= Fake().snapshot.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    const FakeSnapshotProcess& p = Fake().snapshot[h->next++];
    entry->cntUsage = 0;
    entry->th32ProcessID = p.pid;
    entry->th32DefaultHeapID = 0;
    entry->th32ModuleID = p.moduleId;
    entry->cntThreads = p.threads;
    entry->th32ParentProcessID = p.parent;
    entry->pcPriClassBase = p.priority;
    entry->dwFlags = 0;
    CopyText(entry->szExeFile, sizeof entry->szExeFile, p.exe);
    return TRUE;
}

BOOL NextModule(HANDLE snapshot, MODULEENTRY32* entry, bool first, const char* name) {
    FakeHandle* h = Find(snapshot, HandleKind::ModuleSnapshot);
    FakeLog(std::string(name) + " size=" + std::to_string(entry ? entry->dwSize : 0));
    if (h == nullptr || entry == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (entry->dwSize < sizeof(MODULEENTRY32)) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    const FakeModuleList& list = Fake().modules[h->pid];
    if (first) h->next = 0;
    if (h->next >= list.modules.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    const FakeModule& m = list.modules[h->next++];
    entry->th32ModuleID = m.moduleId;
    entry->th32ProcessID = h->pid;
    entry->GlblcntUsage = 1;
    entry->ProccntUsage = 1;
    entry->modBaseAddr = nullptr;
    entry->modBaseSize = 0;
    entry->hModule = nullptr;
    CopyText(entry->szModule, sizeof entry->szModule, m.name);
    CopyText(entry->szExePath, sizeof entry->szExePath, m.path);
    return TRUE;
}

}  // namespace

BOOL Process32First(HANDLE s, PROCESSENTRY32* e) { return NextProcess(s, e, true, "Process32First"); }
BOOL Process32Next(HANDLE s, PROCESSENTRY32* e) { return NextProcess(s, e, false, "Process32Next"); }
BOOL Module32First(HANDLE s, MODULEENTRY32* e) { return NextModule(s, e, true, "Module32First"); }
BOOL Module32Next(HANDLE s, MODULEENTRY32* e) { return NextModule(s, e, false, "Module32Next"); }
