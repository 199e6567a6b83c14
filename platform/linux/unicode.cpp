#include "platform/linux/unicode.h"

#include <cstring>

int ConvertUtf16ToUtf8(const WCHAR* wide, int count, char* bytes, int capacity) {
    if (wide == nullptr || count == 0 || count < -1 || capacity < 0 ||
        (capacity > 0 && bytes == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t units = 0;
    if (count == -1) {
        while (wide[units] != 0) ++units;
        ++units;  // the terminator is converted too
    } else {
        units = static_cast<size_t>(count);
    }
    std::string out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= units || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00u);
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    if (capacity == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(capacity)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(bytes, out.data(), out.size());
    return static_cast<int>(out.size());
}

std::u16string DecodeUtf8Lossy(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        uint32_t c = 0;
        size_t len = 0;
        uint32_t min = 0;
        if (b < 0x80) {
            c = b, len = 1;
        } else if (b >= 0xC2 && b <= 0xDF) {
            c = b & 0x1F, len = 2, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            c = b & 0x0F, len = 3, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            c = b & 0x07, len = 4, min = 0x10000;
        }
        bool ok = len != 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                c = (c << 6) | (p[i + k] & 0x3F);
        }
        if (ok && len > 1 && (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
        if (!ok) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += len;
    }
    return out;
}

int CompareIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a);
        unsigned char y = static_cast<unsigned char>(*b);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
}
