// The switches of a Windows 95/98 run.
#pragma once
#include "front/options.h"

// Filled once by the switch parser at the start of main95, with the pattern
// record of this back end; only read afterwards.
extern CommandOptions Win9xOptions;
