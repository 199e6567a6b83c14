// The "Counters" list walk over arbitrary value bytes. The scripted registry
// delivers the input as the perflib "Counters" value in a buffer of exactly
// its size, so a read past the data is a heap overflow that AddressSanitizer
// reports. The title index must hold exactly the complete pairs, first pair
// of a title winning; then GetTaskList runs on that index over a well-formed
// performance-data reply, and the perflib key is closed exactly once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "nt/counter_index.h"
#include "nt/task_list.h"
#include "tests/fake/fake_machine.h"
#include "tests/nt/perf_block_builder.h"

namespace {

// The pairs of the list as a second, plain reading: split at the NULs, stop
// at an empty index text or where a pair is not complete.
CounterTitleIndex ExpectedPairs(std::string_view data) {
    CounterTitleIndex expected;
    for (;;) {
        if (data.empty() || data.front() == '\0') return expected;
        size_t indexEnd = data.find('\0');
        if (indexEnd == std::string_view::npos) return expected;
        std::string_view indexText = data.substr(0, indexEnd);
        std::string_view rest = data.substr(indexEnd + 1);
        size_t titleEnd = rest.find('\0');
        if (titleEnd == std::string_view::npos) return expected;
        // Blanks, a sign, digits; the value wraps as a 32-bit number.
        size_t i = 0;
        while (i < indexText.size() && (indexText[i] == ' ' || (indexText[i] >= '\t' && indexText[i] <= '\r'))) ++i;
        bool negative = false;
        if (i < indexText.size() && (indexText[i] == '+' || indexText[i] == '-')) negative = indexText[i++] == '-';
        uint32_t value = 0;
        for (; i < indexText.size() && indexText[i] >= '0' && indexText[i] <= '9'; ++i)
            value = value * 10u + static_cast<uint32_t>(indexText[i] - '0');
        if (negative) value = 0u - value;
        expected.try_emplace(std::string(rest.substr(0, titleEnd)), static_cast<LONG>(value));
        data = rest.substr(titleEnd + 1);
    }
}

size_t CountCalls(const std::string& prefix) {
    size_t n = 0;
    for (const std::string& line : Fake().calls)
        if (line.compare(0, prefix.size(), prefix) == 0) ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string data(reinterpret_cast<const char*>(bytes), size);

    ResetFake();
    Fake().machineKeys[kFakePerflibKey].values["Counters"].data = data;
    CounterTitleIndex index;
    DWORD dataSize = 0;
    if (!LoadCounterTitleIndex(index, dataSize)) std::abort();  // the value is there: no failure
    if (dataSize != size) std::abort();                         // the size read goes on to the query
    if (index != ExpectedPairs(data)) std::abort();
    if (CountCalls("RegCloseKey key:") != 1) std::abort();

    // The same list through GetTaskList, with one well-formed reply.
    ResetFake();
    Fake().machineKeys[kFakePerflibKey].values["Counters"].data = data;
    const PerfImage image = StandardImage({{42, 3, 4096, 8192, 10000000, u"fuzzed"}});
    Fake().perfReplies.push_back({ERROR_MORE_DATA, "", static_cast<DWORD>(image.bytes.size())});
    Fake().perfReplies.push_back({ERROR_SUCCESS, image.bytes, std::nullopt});
    TaskTable table;
    const int ok = GetTaskList(table);
    const bool hasProcess = index.count("Process") != 0;
    if (!hasProcess && (ok || CountCalls("RegQueryValueExA HKEY_PERFORMANCE_DATA") != 0)) std::abort();
    if (hasProcess && CountCalls("RegCloseKey HKEY_PERFORMANCE_DATA") != 1) std::abort();
    if (!ok && !table.empty()) std::abort();
    for (TaskEntry* entry : table) {
        if (std::memchr(entry->ProcessName, '\0', sizeof entry->ProcessName) == nullptr) std::abort();
        // The records outlive GetTaskList by design (the driver never frees
        // them); here each input's records are released after the checks.
        delete entry;
    }
    return 0;
}
