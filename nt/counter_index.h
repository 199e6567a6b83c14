// The counter title index: the system's list of performance title indices,
// read from the perflib "Counters" value into a map from title to index.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win32.h"

// Title text (exact bytes, no terminator) to title index. std::string keys
// compare as unsigned bytes, a prefix first; std::less<> lets a lookup use a
// view of the title without building a string. When a title occurs twice in
// the list, the first pair stays.
using CounterTitleIndex = std::map<std::string, LONG, std::less<>>;

// Fills the empty `index` from HKEY_LOCAL_MACHINE perflib\009 "Counters".
// `dataSize` is the size variable of the registry reads; it leaves here with
// the byte size of the data read, and the performance-data query goes on
// with it. Returns 1 on success, 0 on failure (the index is then empty).
int LoadCounterTitleIndex(CounterTitleIndex& index, DWORD& dataSize);

// Walks `size` bytes of a REG_MULTI_SZ list of index and title strings into
// `index`. Never reads past `size`: a list cut short keeps the pairs that
// were complete.
void ParseCounterList(const char* list, size_t size, CounterTitleIndex& index);

// The index stored for `title`, or nothing when it is not a key.
std::optional<LONG> LookupTitle(const CounterTitleIndex& index, std::string_view title);
