#include "front/switches.h"

namespace {

bool IsScanfSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') return c - '0';
    if (!hex) return -1;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

int ReadPidText(const char* text, bool hex, uint32_t& pid) {
    const char* p = text;
    while (IsScanfSpace(*p)) ++p;
    if (*p == '+') ++p;
    // A hexadecimal number may carry a 0x prefix; "0x" alone is no number.
    if (hex && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        if (DigitValue(p[2], true) < 0) return 0;
        p += 2;
    }
    const unsigned base = hex ? 16 : 10;
    uint64_t value = 0;
    int digits = 0;
    for (int d; (d = DigitValue(*p, hex)) >= 0; ++p, ++digits) {
        value = value * base + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFu) return 0;
    }
    if (digits == 0) return 0;
    pid = static_cast<uint32_t>(value);
    return 1;
}
