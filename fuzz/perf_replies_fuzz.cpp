// GetTaskList over arbitrary performance-data replies. The input is a
// sequence of replies, each: a result byte, a size byte and its operand, a
// 16-bit data length and the data. The scripted registry returns them in
// order (then ERROR_FILE_NOT_FOUND), copying what fits into the caller's
// buffer, which GetTaskList allocates at exactly the size it asks for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "nt/task_list.h"
#include "tests/fake/fake_machine.h"

namespace {

std::string StandardCounters() {
    static const char* const pairs[][2] = {{"6", "% Processor Time"}, {"180", "Working Set"},
                                           {"186", "Private Bytes"},  {"230", "Process"},
                                           {"680", "Thread Count"},   {"784", "ID Process"}};
    std::string list;
    for (const auto& pair : pairs) {
        list += pair[0];
        list += '\0';
        list += pair[1];
        list += '\0';
    }
    list += '\0';
    return list;
}

struct Reader {
    const uint8_t* at;
    size_t left;
    bool Take(void* out, size_t n) {
        if (left < n) return false;
        std::memcpy(out, at, n);
        at += n;
        left -= n;
        return true;
    }
};

LONG ResultOf(uint8_t code) {
    switch (code % 8) {
        case 0:
        case 1:
        case 2:
            return ERROR_SUCCESS;
        case 3:
        case 4:
            return ERROR_MORE_DATA;
        case 5:
            return ERROR_FILE_NOT_FOUND;
        case 6:
            return ERROR_ACCESS_DENIED;
        default:
            return static_cast<LONG>(code);
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
    ResetFake();
    Fake().machineKeys[kFakePerflibKey].values["Counters"].data = StandardCounters();
    Reader in{bytes, size};
    for (int reply = 0; reply < 8 && in.left > 0; ++reply) {
        uint8_t code = 0, sizeMode = 0;
        uint16_t operand = 0, length = 0;
        in.Take(&code, 1);
        in.Take(&sizeMode, 1);
        in.Take(&operand, 2);
        in.Take(&length, 2);
        FakePerfReply r;
        r.result = ResultOf(code);
        if (length > in.left) length = static_cast<uint16_t>(in.left);
        r.data.assign(reinterpret_cast<const char*>(in.at), length);
        in.at += length;
        in.left -= length;
        // The reported size: the data's length, a small number, or one so
        // close to 4 GiB that the next buffer would not fit the size
        // variable. (Sizes in between would only make the fuzzer allocate
        // gigabytes.)
        switch (sizeMode % 4) {
            case 1:
                r.size = operand;
                break;
            case 2:
                r.size = 0xFFFFFFFFu - (operand & 0x0FFF);
                break;
            case 3:
                r.size = static_cast<DWORD>(length) + (operand & 0xFF);
                break;
            default:
                break;
        }
        Fake().perfReplies.push_back(r);
    }

    TaskTable table;
    auto* sentinel = new TaskEntry{};
    sentinel->ProcessId = 0xC0FFEE;
    table.push_back(sentinel);
    const int ok = GetTaskList(table);
    if (table.front() != sentinel) std::abort();         // entries before the call stay in front
    if (!ok && table.size() != 1) std::abort();          // a failure appends nothing
    if (CountCalls("RegCloseKey HKEY_PERFORMANCE_DATA") != 1) std::abort();  // closed exactly once
    for (TaskEntry* entry : table) {
        if (std::memchr(entry->ProcessName, '\0', sizeof entry->ProcessName) == nullptr) std::abort();
        if (entry->WindowTitle[0] != '\0' || entry->Marked != 0) std::abort();
        // The records outlive GetTaskList by design; each input's are freed here.
        delete entry;
    }
    return 0;
}
