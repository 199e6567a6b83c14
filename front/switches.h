// The switch grammar shared by both drivers and their usage screens.
#pragma once
#include "front/options.h"

enum class SwitchSet {
    Nt,     // letters a, l, n, p, v; errors through ShowUsage
    Win9x,  // letters a, d, l, n, p, v; errors through ShowUsage95
};

// Fills `options` from argv[1..argc-1]. Returns only when the switches are
// acceptable; otherwise the run ends in the back end's usage screen.
void ParseSwitches(int argc, char** argv, SwitchSet set, CommandOptions& options);

// The usage screens, with an error line when `message` is not null. Both end
// the process with 0xFFFF.
[[noreturn]] void ShowUsage(const char* message);
[[noreturn]] void ShowUsage95(const char* message);

// Reads the PID text of /p as sscanf with "%u" (or "%X" when `hex`) would,
// white space skipped first and anything after the number ignored, but
// refuses a number that does not fit in 32 bits and a minus sign. Returns 1
// and sets `pid` when exactly one number was read, else 0.
int ReadPidText(const char* text, bool hex, uint32_t& pid);
