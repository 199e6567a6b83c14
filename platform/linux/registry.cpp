// The registry of the Linux seam: the perflib language key with its
// "Counters" list, and HKEY_PERFORMANCE_DATA, whose Process object is read
// from /proc. The performance data of one listing is built once: a reply
// of ERROR_MORE_DATA keeps it for the next query, which returns it.
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/linux/handles.h"
#include "platform/linux/perf_block.h"
#include "platform/linux/unicode.h"
#include "platform/win32.h"

namespace {

constexpr const char* kPerflibLanguageKey =
    "software\\microsoft\\windows nt\\currentversion\\perflib\\009";

struct PerflibKey {
    SeamHandle header;
};

void ReleasePerflibKey(SeamHandle* self) {
    self->magic = 0;
    delete reinterpret_cast<PerflibKey*>(self);
}

// HKEY_CLASSES_ROOT to HKEY_DYN_DATA and their neighbours: values, not
// addresses.
bool IsPredefinedKey(HKEY key) {
    auto value = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key));
    return (value & ~uint64_t{0xFF}) == 0xFFFFFFFF80000000ULL || (value & ~uint64_t{0xFF}) == 0x80000000ULL;
}

bool IsPerflibKey(HKEY key) {
    if (IsPredefinedKey(key)) return false;
    SeamHandle* handle = AsSeamHandle(static_cast<HANDLE>(key));
    return handle != nullptr && handle->release == ReleasePerflibKey;
}

// The performance data built by a query that could not return it yet.
struct KeptPerfData {
    std::vector<BYTE> block;
    bool withProcess = false;
    bool kept = false;
};

KeptPerfData& Kept() {
    static KeptPerfData kept;
    return kept;
}

// The objects a performance-data value name asks for: a list of decimal
// title indices separated by blanks, or "Global" for every object. False
// when the name is neither.
bool ParsePerfValueName(const char* name, bool& withProcess) {
    if (name == nullptr) return false;
    if (CompareIgnoringCase(name, "Global") == 0) {
        withProcess = true;
        return true;
    }
    withProcess = false;
    std::string_view text(name);
    size_t pos = 0;
    bool any = false;
    while (pos < text.size()) {
        if (text[pos] == ' ') {
            ++pos;
            continue;
        }
        uint64_t index = 0;
        if (text[pos] < '0' || text[pos] > '9') return false;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            if (index < 0xFFFFFFFFULL) index = index * 10 + static_cast<uint64_t>(text[pos] - '0');
            ++pos;
        }
        if (index == kProcessObjectIndex) withProcess = true;
        any = true;
    }
    return any;
}

// Copies `size` bytes of `data` out as the platform does: no buffer asks
// for the size only, a buffer too small gets ERROR_MORE_DATA and the size.
LONG ReplyValue(const BYTE* data, DWORD size, BYTE* buffer, DWORD* bufferSize) {
    if (bufferSize == nullptr) return buffer == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    if (buffer == nullptr) {
        *bufferSize = size;
        return ERROR_SUCCESS;
    }
    if (*bufferSize < size) {
        *bufferSize = size;
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, data, size);
    *bufferSize = size;
    return ERROR_SUCCESS;
}

LONG QueryPerfData(const char* valueName, DWORD* type, BYTE* buffer, DWORD* bufferSize) {
    bool withProcess = false;
    if (!ParsePerfValueName(valueName, withProcess)) return ERROR_FILE_NOT_FOUND;
    if (bufferSize == nullptr) return ERROR_INVALID_PARAMETER;
    if (type != nullptr) *type = REG_BINARY;
    KeptPerfData& kept = Kept();
    if (!kept.kept || kept.withProcess != withProcess) {
        kept.block = BuildPerfDataBlock(withProcess);
        kept.withProcess = withProcess;
        kept.kept = true;
    }
    DWORD size = static_cast<DWORD>(kept.block.size());
    if (buffer == nullptr || *bufferSize < size) {
        *bufferSize = size;
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, kept.block.data(), size);
    *bufferSize = size;
    // Returned: the next query takes a new snapshot.
    std::vector<BYTE>().swap(kept.block);
    kept.kept = false;
    return ERROR_SUCCESS;
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM, HKEY* result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (key != HKEY_LOCAL_MACHINE || subKey == nullptr) return ERROR_FILE_NOT_FOUND;
    if (CompareIgnoringCase(subKey, kPerflibLanguageKey) != 0) return ERROR_FILE_NOT_FOUND;
    auto* opened = new PerflibKey{{kSeamHandleMagic, ReleasePerflibKey}};
    *result = reinterpret_cast<HKEY>(opened);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
    if (reserved != nullptr) return ERROR_INVALID_PARAMETER;
    if (key == HKEY_PERFORMANCE_DATA) return QueryPerfData(valueName, type, data, dataSize);
    if (IsPredefinedKey(key)) return ERROR_FILE_NOT_FOUND;
    if (!IsPerflibKey(key)) return ERROR_INVALID_HANDLE;
    if (valueName == nullptr || CompareIgnoringCase(valueName, "Counters") != 0) return ERROR_FILE_NOT_FOUND;
    if (type != nullptr) *type = REG_MULTI_SZ;
    std::string_view list = PerflibCountersList();
    return ReplyValue(reinterpret_cast<const BYTE*>(list.data()), static_cast<DWORD>(list.size()), data,
                      dataSize);
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_PERFORMANCE_DATA) {
        KeptPerfData& kept = Kept();
        std::vector<BYTE>().swap(kept.block);
        kept.kept = false;
        return ERROR_SUCCESS;
    }
    if (IsPredefinedKey(key)) return ERROR_SUCCESS;
    SeamHandle* handle = AsSeamHandle(static_cast<HANDLE>(key));
    if (handle == nullptr || handle->release != ReleasePerflibKey) return ERROR_INVALID_HANDLE;
    handle->release(handle);
    return ERROR_SUCCESS;
}
