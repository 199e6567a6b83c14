#include <cstdint>
#include <iomanip>
#include <iostream>

#include "nt/nt_driver.h"
#include "nt/terminate_task.h"
#include "nt/window_titles.h"
#include "platform/win32.h"

CommandOptions NtOptions;

void PutCpuTime(double seconds) {
    double x = seconds * 0.0002777777777777778;
    const int32_t hours = static_cast<int32_t>(x);
    std::cout << std::dec << std::setfill(' ') << std::setw(3) << hours << ':';
    x = (x - hours) * 60.0;
    const int32_t minutes = static_cast<int32_t>(x);
    std::cout << std::setfill('0') << std::setw(2) << minutes << ':';
    x = (x - minutes) * 60.0;
    const int32_t secs = static_cast<int32_t>(x);
    std::cout << std::setw(2) << secs << '.';
    x = x - secs;
    std::cout << std::setw(3) << static_cast<int32_t>(x * 1000.0);
}

void PutKilobytes(uint64_t bytes) {
    std::cout << std::dec << std::setfill(' ') << std::setw(7) << (bytes >> 10);
}

void PutTaskRow(const TaskEntry& entry, bool verbose) {
    std::cout << " $" << std::hex << std::uppercase << std::setfill('0') << std::setw(4)
              << entry.ProcessId;
    std::cout << "  " << std::dec << std::setfill('0') << std::setw(3) << entry.ThreadCount;
    std::cout << ' ';
    PutCpuTime(entry.CpuTime);
    std::cout << ' ';
    PutKilobytes(entry.WorkingSet);
    std::cout << ' ';
    PutKilobytes(entry.PrivateBytes);
    std::cout << ' ' << entry.ProcessName;
    if (verbose && entry.WindowTitle[0] != '\0') std::cout << " [" << entry.WindowTitle << ']';
}

namespace {

void PutBannerLine() {
    const DWORD version = GetVersion();
    std::cout << NtBanner << " is running with Windows Version " << std::dec << (version & 0xFF)
              << '.' << std::setfill('0') << std::setw(2) << ((version >> 8) & 0xFF) << std::endl
              << std::endl;
}

void PutHeader() {
    std::cout << "Process Thd     CPU       Memory  Swap    Process" << std::endl;
    std::cout << "  ID     #      Time      usage K usage K Name" << std::endl;
    std::cout << "------- --- ------------- ------- ------- ------>" << std::endl;
}

}  // namespace

void RunNtDriver(const CommandOptions& options) {
    TaskTable table;  // lives until the process ends
    if (!GetTaskList(table)) {
        std::cout << "GetTaskList failed" << std::endl;
        ExitProcess(kExitError);
    }
    AttachWindowTitles(table);

    const bool selecting = InSelectionMode(options);
    int32_t FoundCount = 0;
    if (selecting) {
        for (TaskEntry* entry : table) {
            const bool selected =
                (options.PidGiven && entry->ProcessId == options.Pid) ||
                (options.NameGiven && MatchTaskName(entry->ProcessName, options.Pattern));
            if (!selected) continue;
            ++FoundCount;
            entry->Marked = 1;
        }
        if (options.NameGiven && !options.ListOnly && !options.KillAll && FoundCount > 1) {
            std::cout << NtBanner << ": more than one Process to kill!" << std::endl;
            std::cout << "\t      use /p<PID> or /a to kill all" << std::endl;
            std::cout << "\t      or use /l to get a list" << std::endl;
            ExitProcess(kExitError);
        }
        if (FoundCount == 0) {
            std::cout << NtBanner << ": Process not found" << std::endl;
            ExitProcess(kExitNotFound);
        }
    }

    PutBannerLine();
    PutHeader();
    for (TaskEntry* entry : table) {
        if (!selecting) {
            PutTaskRow(*entry, options.Verbose);
            std::cout << std::endl;
            ++FoundCount;
        } else if (entry->Marked) {
            PutTaskRow(*entry, options.Verbose);
            if (options.ListOnly)
                std::cout << std::endl;
            else
                TerminateTask(entry->ProcessId);
        }
    }
    ExitProcess(static_cast<UINT>(FoundCount));
}
