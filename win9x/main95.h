// The Windows 95/98 driver.
#pragma once

// The whole run on Windows 95/98: switches, snapshot, selection, listing,
// terminations and the summary. Ends the process; never returns.
[[noreturn]] void main95(int argc, char** argv);
