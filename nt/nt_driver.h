// The NT driver: the part of the run after main has read the switches.
#pragma once
#include "front/options.h"

// The switches of an NT run, with the pattern record of the NT back end.
extern CommandOptions NtOptions;

// Builds the process table, selects, lists and terminates, and ends the
// process with the number of processes selected or listed.
[[noreturn]] void RunNtDriver(const CommandOptions& options);
