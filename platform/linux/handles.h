// Handles of the Linux seam. Every object a HANDLE points to begins with a
// SeamHandle, so that CloseHandle can tell a live handle from anything else
// and release it the way its kind needs.
#pragma once
#include <cstdint>

#include "platform/win32.h"

struct SeamHandle {
    uint32_t magic;                     // kSeamHandleMagic while the handle is open
    void (*release)(SeamHandle* self);  // frees the object behind the handle
};

constexpr uint32_t kSeamHandleMagic = 0x7A6B4C21;

// The SeamHandle behind `handle`, or null for a null, pseudo or closed handle.
inline SeamHandle* AsSeamHandle(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
    auto* h = static_cast<SeamHandle*>(handle);
    return h->magic == kSeamHandleMagic ? h : nullptr;
}
