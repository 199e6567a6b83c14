#include "nt/counter_index.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

const char kPerflibKey[] = "software\\microsoft\\windows nt\\currentversion\\perflib";

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Leading white space, an optional sign, then decimal digits up to the first
// other byte; no digits give 0. Digits beyond 32 bits wrap instead of
// overflowing.
LONG IndexFromText(const char* text) {
    while (IsBlank(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = (*text++ == '-');
    uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) value = value * 10u + uint32_t(*text - '0');
    if (negative) value = 0u - value;
    return static_cast<LONG>(value);
}

}  // namespace

void ParseCounterList(const char* list, size_t size, CounterTitleIndex& index) {
    size_t pos = 0;
    while (pos < size && list[pos] != '\0') {
        const void* indexEnd = std::memchr(list + pos, '\0', size - pos);
        if (indexEnd == nullptr) return;  // an index text without terminator
        const LONG value = IndexFromText(list + pos);
        const size_t title = static_cast<size_t>(static_cast<const char*>(indexEnd) - list) + 1;
        if (title >= size) return;  // the list ends after an index text
        const void* titleEnd = std::memchr(list + title, '\0', size - title);
        if (titleEnd == nullptr) return;  // a title without terminator
        const size_t titleLength = static_cast<size_t>(static_cast<const char*>(titleEnd) - list) - title;
        index.try_emplace(std::string(list + title, titleLength), value);
        pos = title + titleLength + 1;
    }
}

int LoadCounterTitleIndex(CounterTitleIndex& index, DWORD& dataSize) {
    char subKey[1024];
    std::snprintf(subKey, sizeof subKey, "%s\\%03x", kPerflibKey, static_cast<unsigned>(LANG_ENGLISH));

    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;

    DWORD type = 0;
    if (RegQueryValueExA(key, "Counters", nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return 0;
    }
    const DWORD allocated = dataSize;
    char* list = new (std::nothrow) char[allocated];
    if (list == nullptr) {
        RegCloseKey(key);
        return 0;
    }
    const LONG read =
        RegQueryValueExA(key, "Counters", nullptr, &type, reinterpret_cast<BYTE*>(list), &dataSize);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) {
        delete[] list;
        return 0;
    }
    // The walk stays inside both the bytes read and the bytes allocated.
    ParseCounterList(list, dataSize < allocated ? dataSize : allocated, index);
    delete[] list;
    return 1;
}

std::optional<LONG> LookupTitle(const CounterTitleIndex& index, std::string_view title) {
    const auto it = index.find(title);
    if (it == index.end()) return std::nullopt;
    return it->second;
}
