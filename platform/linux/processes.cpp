// Process handles of the Linux seam. A process handle holds a pidfd, which
// pins the process it was opened on: a signal sent through it never reaches
// a later process that got the same PID. Opening checks, once the pidfd is
// held, that the process is the one the latest snapshot listed.
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/linux/handles.h"
#include "platform/linux/procfs.h"
#include "platform/win32.h"

namespace {

constexpr uint32_t kKernelThreadFlag = 0x00200000;  // PF_KTHREAD

struct ProcessHandle {
    SeamHandle header;
    int pidfd;       // -1 where the kernel has no pidfds
    DWORD pid;
    uint64_t startTicks;
    bool unkillable;  // a kernel thread or the init of our PID namespace
    bool zombie;      // had already ended when opened
};

void ReleaseProcess(SeamHandle* self) {
    auto* process = reinterpret_cast<ProcessHandle*>(self);
    if (process->pidfd >= 0) close(process->pidfd);
    self->magic = 0;
    delete process;
}

ProcessHandle* AsProcess(HANDLE handle) {
    SeamHandle* seam = AsSeamHandle(handle);
    return seam != nullptr && seam->release == ReleaseProcess ? reinterpret_cast<ProcessHandle*>(seam)
                                                              : nullptr;
}

int PidfdOpen(DWORD pid) { return static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0)); }

// Signals the process behind the handle; 0 or an errno value.
int SendKill(const ProcessHandle& process) {
    if (process.pidfd >= 0) {
        if (syscall(SYS_pidfd_send_signal, process.pidfd, SIGKILL, nullptr, 0) == 0) return 0;
        return errno;
    }
    // Without pidfds: make sure the PID still names the same process, then
    // signal it (the window between the two is as small as it gets).
    ProcStat now;
    if (!ReadProcessStat(process.pid, now) || now.startTicks != process.startTicks) return ESRCH;
    if (kill(static_cast<pid_t>(process.pid), SIGKILL) == 0) return 0;
    return errno;
}

}  // namespace

HANDLE OpenProcess(DWORD, BOOL, DWORD processId) {
    if (processId == 0 || processId > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int pidfd = PidfdOpen(processId);
    if (pidfd < 0) {
        int error = errno;
        if (error == EMFILE || error == ENFILE || error == ENOMEM) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        if (error != ENOSYS) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
    }
    // Read after the pidfd is held: a process listed by the snapshot that
    // is still there now is the one the pidfd was opened on.
    ProcStat stat;
    if (!ReadProcessStat(processId, stat) ||
        (SnapshotTaken() && !IsSnapshotProcess(processId, stat.startTicks))) {
        if (pidfd >= 0) close(pidfd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* process = new ProcessHandle{};
    process->header = {kSeamHandleMagic, ReleaseProcess};
    process->pidfd = pidfd;
    process->pid = processId;
    process->startTicks = stat.startTicks;
    // Kernel threads (kthreadd among them) carry PF_KTHREAD; PID 1 is the
    // init process of our own PID namespace. Both ignore SIGKILL from here.
    process->unkillable = (stat.flags & kKernelThreadFlag) != 0 || processId == 1;
    process->zombie = stat.state == 'Z' || stat.state == 'X';
    SetLastError(ERROR_SUCCESS);
    return process;
}

BOOL TerminateProcess(HANDLE handle, UINT exitCode) {
    if (handle == GetCurrentProcess()) ExitProcess(exitCode);
    ProcessHandle* process = AsProcess(handle);
    if (process == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (process->pid == static_cast<DWORD>(getpid())) ExitProcess(exitCode);
    // The kernel drops SIGKILL for kernel threads and for the init of the
    // sender's own PID namespace without an error: refuse those here rather
    // than report a termination that does not happen. A process that had
    // already ended is refused as the platform refuses one.
    if (process->unkillable || process->zombie) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    int error = SendKill(*process);
    if (error == 0) {
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    // EPERM: another user's process; ESRCH: it has ended since it was
    // opened, which the platform reports the same way.
    SetLastError(error == EPERM || error == ESRCH ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL CloseHandle(HANDLE handle) {
    SeamHandle* seam = AsSeamHandle(handle);
    if (seam == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    seam->release(seam);
    return TRUE;
}
