// The NT driver: the part of the run after main has read the switches.
#pragma once
#include <cstdint>

#include "front/options.h"
#include "nt/task_list.h"

// The switches of an NT run, with the pattern record of the NT back end.
extern CommandOptions NtOptions;

// Builds the process table, selects, lists and terminates, and ends the
// process with the number of processes selected or listed.
[[noreturn]] void RunNtDriver(const CommandOptions& options);

// The CPU time column: hours (3 wide), minutes, seconds and milliseconds.
void PutCpuTime(double seconds);

// A memory column: whole units of 1024 bytes, right-aligned in 7 places.
void PutKilobytes(uint64_t bytes);

// One row of the listing, without its line end; the title only when
// `verbose` and not empty.
void PutTaskRow(const TaskEntry& entry, bool verbose);
