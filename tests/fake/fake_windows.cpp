#include <cstring>

#include "tests/fake/fake_internal.h"

namespace {

const FakeWindow* Lookup(HWND window) {
    const auto index = reinterpret_cast<uintptr_t>(window) - 0x1000;
    if (index >= Fake().windows.size()) return nullptr;
    return &Fake().windows[index];
}

}  // namespace

BOOL EnumWindows(WNDENUMPROC callback, LPARAM context) {
    FakeLog("EnumWindows");
    for (size_t i = 0; i < Fake().windows.size(); ++i)
        if (!callback(reinterpret_cast<HWND>(0x1000 + i), context)) break;
    return TRUE;
}

DWORD GetWindowThreadProcessId(HWND window, DWORD* processId) {
    const FakeWindow* w = Lookup(window);
    FakeLog("GetWindowThreadProcessId " + FakeHex(reinterpret_cast<uintptr_t>(window)));
    if (w == nullptr) return 0;
    if (processId != nullptr) *processId = w->threadId ? w->pid : 0;
    return w->threadId;
}

int GetWindowTextA(HWND window, char* text, int size) {
    const FakeWindow* w = Lookup(window);
    FakeLog("GetWindowTextA " + FakeHex(reinterpret_cast<uintptr_t>(window)) + " " +
            std::to_string(size));
    if (w == nullptr || text == nullptr || size <= 0) return 0;
    const size_t n = std::min(w->text.size(), static_cast<size_t>(size - 1));
    std::memcpy(text, w->text.data(), n);
    text[n] = '\0';
    return static_cast<int>(n);
}
