// Top-level windows. Without a windowing system there are none: the
// enumeration calls back for no window.
#include "platform/win32.h"

BOOL EnumWindows(WNDENUMPROC, LPARAM) { return TRUE; }

DWORD GetWindowThreadProcessId(HWND, DWORD* processId) {
    if (processId != nullptr) *processId = 0;
    return 0;
}

int GetWindowTextA(HWND, char* text, int size) {
    if (text != nullptr && size > 0) text[0] = '\0';
    return 0;
}
