#include "platform/linux/toolhelp_fields.h"

#include <sys/sysmacros.h>

#include <cstring>

namespace {

constexpr int kPolicyFifo = 1;
constexpr int kPolicyRoundRobin = 2;
constexpr int kPolicyIdle = 5;
constexpr int kPolicyDeadline = 6;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    return static_cast<unsigned>(c - 'A' + 10);
}

// Reads a run of hexadecimal digits at `pos` (at least one, value within
// 64 bits) and advances past it.
bool TakeHex(std::string_view text, size_t& pos, uint64_t& value) {
    size_t begin = pos;
    uint64_t v = 0;
    while (pos < text.size() && IsHexDigit(text[pos])) {
        if (v >> 60 != 0) return false;
        v = (v << 4) | HexValue(text[pos]);
        ++pos;
    }
    if (pos == begin) return false;
    value = v;
    return true;
}

bool TakeDecimal(std::string_view text, size_t& pos, uint64_t& value) {
    size_t begin = pos;
    uint64_t v = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        uint64_t digit = static_cast<uint64_t>(text[pos] - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
        ++pos;
    }
    if (pos == begin) return false;
    value = v;
    return true;
}

bool TakeChar(std::string_view text, size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

// One or more blanks.
bool TakeBlanks(std::string_view text, size_t& pos) {
    size_t begin = pos;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    return pos > begin;
}

uint64_t Mix64(uint64_t x) {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBULL;
    x ^= x >> 31;
    return x;
}

}  // namespace

bool ParseMapsLine(std::string_view line, MapsLine& out) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    size_t pos = 0;
    uint64_t major = 0, minor = 0;
    if (!TakeHex(line, pos, out.start) || !TakeChar(line, pos, '-') || !TakeHex(line, pos, out.end))
        return false;
    if (out.end < out.start || !TakeBlanks(line, pos)) return false;
    // Permissions: four letters such as "r-xp".
    if (line.size() - pos < 4) return false;
    for (size_t i = 0; i < 4; ++i) {
        char c = line[pos + i];
        if (c == ' ' || c == '\t') return false;
    }
    pos += 4;
    if (!TakeBlanks(line, pos) || !TakeHex(line, pos, out.offset) || !TakeBlanks(line, pos)) return false;
    if (!TakeHex(line, pos, major) || !TakeChar(line, pos, ':') || !TakeHex(line, pos, minor)) return false;
    if (major > UINT32_MAX || minor > UINT32_MAX) return false;
    if (!TakeBlanks(line, pos) || !TakeDecimal(line, pos, out.inode)) return false;
    out.devMajor = static_cast<uint32_t>(major);
    out.devMinor = static_cast<uint32_t>(minor);
    if (pos < line.size() && !TakeBlanks(line, pos)) return false;  // "123abc" is no inode
    out.path = line.substr(pos);
    return true;
}

bool IsModuleMapping(const MapsLine& line) {
    return line.inode != 0 && !line.path.empty() && line.path.front() == '/';
}

LONG BasePriorityFor(uint32_t policy, int64_t nice) {
    if (policy == kPolicyFifo || policy == kPolicyRoundRobin || policy == kPolicyDeadline) return 24;
    if (policy == kPolicyIdle) return 4;
    if (nice >= 10) return 4;
    if (nice >= 1) return 6;
    if (nice == 0) return 8;
    if (nice >= -9) return 10;
    return 13;
}

DWORD ModuleIdFor(uint64_t device, uint64_t inode) {
    uint64_t h = Mix64(Mix64(device) ^ inode);
    DWORD id = static_cast<DWORD>(h ^ (h >> 32));
    return id != 0 ? id : 1;
}

DWORD ModuleIdForMaps(const MapsLine& line) {
    return ModuleIdFor(static_cast<uint64_t>(makedev(line.devMajor, line.devMinor)), line.inode);
}

std::string_view StripDeletedMark(std::string_view path) {
    constexpr std::string_view mark = " (deleted)";
    if (path.size() > mark.size() && path.substr(path.size() - mark.size()) == mark)
        path.remove_suffix(mark.size());
    return path;
}

std::string_view FileNameOf(std::string_view path) {
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void CopyCut(std::string_view text, char* buffer, size_t capacity) {
    if (capacity == 0) return;
    size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    if (n > 0) std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}
