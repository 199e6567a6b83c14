#include <cstddef>
#include <cstring>

#include "patterns/name_pattern.h"
#include "platform/win32.h"

namespace {

constexpr size_t kComponentMax = 255;

// Length of the character that starts at `p`: two bytes for a lead byte of
// the ANSI code page followed by a byte, else one. Never passes the NUL.
size_t CharLength(const char* p) {
    if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0') return 2;
    return 1;
}

// Copies [begin, end) into `out`, at most 255 bytes and never half a
// character, and terminates it.
void CopyComponent(const char* begin, const char* end, char* out) {
    size_t used = 0;
    const char* p = begin;
    while (p < end) {
        const size_t len = CharLength(p);
        if (used + len > kComponentMax) break;
        std::memcpy(out + used, p, len);
        used += len;
        p += len;
    }
    out[used] = '\0';
}

}  // namespace

void SplitPath(const char* path, char* drive, char* dir, char* base, char* ext) {
    const char* rest = path;
    if (path[0] != '\0' && path[1] == ':') {
        drive[0] = path[0];
        drive[1] = ':';
        drive[2] = '\0';
        rest = path + 2;
    } else {
        drive[0] = '\0';
    }

    const char* nameStart = rest;  // just after the last separator
    const char* lastDot = nullptr;
    const char* p = rest;
    while (*p != '\0') {
        const size_t len = CharLength(p);
        if (len == 1) {
            if (*p == '/' || *p == '\\')
                nameStart = p + 1;
            else if (*p == '.')
                lastDot = p;
        }
        p += len;
    }
    const char* end = p;

    CopyComponent(rest, nameStart, dir);
    if (lastDot != nullptr && lastDot >= nameStart) {
        CopyComponent(nameStart, lastDot, base);
        CopyComponent(lastDot, end, ext);
    } else {
        CopyComponent(nameStart, end, base);
        ext[0] = '\0';
    }
}
