#include <cstring>
#include <memory>

#include "tests/fake/fake_internal.h"

namespace {

struct OpenKey {
    std::string path;  // lower case, as the fake's map keys it
    size_t queries = 0;
};

std::map<uintptr_t, OpenKey> openKeys;
uintptr_t nextKey = 0x1000;
std::map<std::string, size_t> valueQueries;  // queries so far, by key and value
size_t perfRepliesUsed = 0;

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string KeyName(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (key == HKEY_PERFORMANCE_DATA) return "HKEY_PERFORMANCE_DATA";
    auto it = openKeys.find(reinterpret_cast<uintptr_t>(key));
    if (it == openKeys.end()) return "invalid:" + FakeHex(reinterpret_cast<uintptr_t>(key));
    return "key:" + it->second.path;
}

std::string SizeText(const DWORD* size) { return size ? std::to_string(*size) : "none"; }

LONG QueryPerformanceData(BYTE* data, DWORD* size) {
    FakeMachine& m = Fake();
    if (perfRepliesUsed >= m.perfReplies.size()) return ERROR_FILE_NOT_FOUND;
    const FakePerfReply& reply = m.perfReplies[perfRepliesUsed++];
    if (data != nullptr && size != nullptr) {
        const size_t n = std::min<size_t>(reply.data.size(), *size);
        std::memcpy(data, reply.data.data(), n);
    }
    if (size != nullptr) *size = reply.size.value_or(static_cast<DWORD>(reply.data.size()));
    return reply.result;
}

}  // namespace

void FakeResetRegistry() {
    openKeys.clear();
    valueQueries.clear();
    perfRepliesUsed = 0;
}

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result) {
    FakeLog("RegOpenKeyExA " + KeyName(key) + " " + (subKey ? subKey : "(null)") + " " +
            std::to_string(options) + " " + FakeHex(access));
    if (key != HKEY_LOCAL_MACHINE || subKey == nullptr) return ERROR_FILE_NOT_FOUND;
    const std::string path = Lower(subKey);
    auto it = Fake().machineKeys.find(path);
    if (it == Fake().machineKeys.end()) return ERROR_FILE_NOT_FOUND;
    if (it->second.openResult != ERROR_SUCCESS) return it->second.openResult;
    const uintptr_t handle = nextKey++;
    openKeys[handle] = OpenKey{path};
    *result = reinterpret_cast<HKEY>(handle);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
    FakeLog("RegQueryValueExA " + KeyName(key) + " " + (valueName ? valueName : "(null)") +
            " reserved=" + (reserved ? "set" : "none") + " type=" + (type ? "set" : "none") +
            " data=" + (data ? "buffer" : "none") + " size=" + SizeText(dataSize));
    if (key == HKEY_PERFORMANCE_DATA) {
        if (type) *type = REG_BINARY;
        return QueryPerformanceData(data, dataSize);
    }
    auto open = openKeys.find(reinterpret_cast<uintptr_t>(key));
    if (open == openKeys.end()) return ERROR_INVALID_HANDLE;
    FakeKey& fakeKey = Fake().machineKeys[open->second.path];
    auto value = fakeKey.values.find(valueName ? valueName : "");
    if (value == fakeKey.values.end()) return ERROR_FILE_NOT_FOUND;
    const size_t index = valueQueries[open->second.path + "\\" + value->first]++;
    if (index < value->second.results.size() && value->second.results[index] != ERROR_SUCCESS)
        return value->second.results[index];
    if (type) *type = REG_MULTI_SZ;
    const std::string& bytes = value->second.data;
    if (dataSize == nullptr) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    if (data == nullptr) {
        *dataSize = static_cast<DWORD>(bytes.size());
        return ERROR_SUCCESS;
    }
    if (*dataSize < bytes.size()) {
        *dataSize = static_cast<DWORD>(bytes.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    *dataSize = static_cast<DWORD>(bytes.size());
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    FakeLog("RegCloseKey " + KeyName(key));
    if (key == HKEY_PERFORMANCE_DATA || key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
    return openKeys.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
