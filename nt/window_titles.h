// Window titles: each task gets the text of a top-level window of its
// process.
#pragma once
#include "nt/task_list.h"

// Enumerates every top-level window once and stores its text in the first
// entry of `table` whose process owns it; a later window of the same process
// replaces the text.
void AttachWindowTitles(TaskTable& table);

// The enumeration callback; `context` is the TaskTable. Always TRUE.
BOOL CALLBACK TitleEnumProc(HWND window, LPARAM context);
