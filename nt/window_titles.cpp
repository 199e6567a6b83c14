#include "nt/window_titles.h"

BOOL CALLBACK TitleEnumProc(HWND window, LPARAM context) {
    const TaskTable& table = *reinterpret_cast<const TaskTable*>(context);
    DWORD owner = 0;
    if (GetWindowThreadProcessId(window, &owner) == 0) return TRUE;
    for (TaskEntry* entry : table) {
        if (entry->ProcessId != owner) continue;
        GetWindowTextA(window, entry->WindowTitle, sizeof entry->WindowTitle);
        break;
    }
    return TRUE;
}

void AttachWindowTitles(TaskTable& table) {
    EnumWindows(TitleEnumProc, reinterpret_cast<LPARAM>(&table));
}
