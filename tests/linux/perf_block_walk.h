// A strict reader of the performance data block for the tests: checks every
// length, offset, type and alignment with gtest assertions, and gives the
// instances of the Process object.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"

struct PerfInstance {
    DWORD pid = 0;
    DWORD threads = 0;
    uint64_t workingSet = 0;
    uint64_t privateBytes = 0;
    uint64_t cpu100ns = 0;
    std::u16string name;
};

template <typename T>
T PerfRead(const BYTE* data, size_t offset) {
    T value;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}

// Use with ASSERT_NO_FATAL_FAILURE.
inline void WalkPerfBlock(const BYTE* data, size_t size, std::vector<PerfInstance>& out) {
    out.clear();
    ASSERT_GE(size, sizeof(PERF_DATA_BLOCK));
    auto header = PerfRead<PERF_DATA_BLOCK>(data, 0);
    ASSERT_EQ(std::u16string(header.Signature, 4), u"PERF");
    EXPECT_EQ(header.LittleEndian, 1u);
    ASSERT_EQ(header.TotalByteLength, size);
    ASSERT_EQ(header.NumObjectTypes, 1u);
    ASSERT_GE(header.HeaderLength, sizeof(PERF_DATA_BLOCK));
    ASSERT_EQ(header.HeaderLength % 8, 0u);
    ASSERT_LE(header.SystemNameOffset + header.SystemNameLength, header.HeaderLength);
    ASSERT_GE(header.SystemNameLength, 2u);
    EXPECT_EQ(PerfRead<WCHAR>(data, header.SystemNameOffset + header.SystemNameLength - 2), 0);

    size_t objectStart = header.HeaderLength;
    ASSERT_LE(objectStart + sizeof(PERF_OBJECT_TYPE), size);
    auto object = PerfRead<PERF_OBJECT_TYPE>(data, objectStart);
    ASSERT_EQ(object.ObjectNameTitleIndex, 230u);
    ASSERT_EQ(object.HeaderLength, sizeof(PERF_OBJECT_TYPE));
    ASSERT_EQ(object.NumCounters, 5u);
    ASSERT_EQ(object.DefinitionLength, sizeof(PERF_OBJECT_TYPE) + 5 * 40);
    ASSERT_EQ(objectStart + object.TotalByteLength, size);
    ASSERT_GE(object.NumInstances, 0);

    struct Expected {
        DWORD index, type, size;
        DWORD offset = 0;
        bool seen = false;
    } expected[] = {{784, PERF_COUNTER_RAWCOUNT, 4},
                    {680, PERF_COUNTER_RAWCOUNT, 4},
                    {180, PERF_COUNTER_LARGE_RAWCOUNT, 8},
                    {186, PERF_COUNTER_LARGE_RAWCOUNT, 8},
                    {6, PERF_100NSEC_TIMER, 8}};
    static_assert(sizeof(PERF_COUNTER_DEFINITION) == 40);
    for (DWORD i = 0; i < object.NumCounters; ++i) {
        auto def = PerfRead<PERF_COUNTER_DEFINITION>(data, objectStart + object.HeaderLength + i * 40);
        ASSERT_EQ(def.ByteLength, 40u);
        bool known = false;
        for (Expected& e : expected) {
            if (e.index != def.CounterNameTitleIndex) continue;
            ASSERT_FALSE(e.seen) << "counter " << e.index << " defined twice";
            EXPECT_EQ(def.CounterType, e.type) << e.index;
            ASSERT_EQ(def.CounterSize, e.size) << e.index;
            ASSERT_EQ(def.CounterOffset % e.size, 0u) << e.index;
            ASSERT_GE(def.CounterOffset, sizeof(PERF_COUNTER_BLOCK)) << e.index;
            e.offset = def.CounterOffset;
            e.seen = known = true;
        }
        ASSERT_TRUE(known) << def.CounterNameTitleIndex;
    }

    size_t pos = objectStart + object.DefinitionLength;
    for (LONG n = 0; n < object.NumInstances; ++n) {
        ASSERT_EQ(pos % 8, 0u);
        ASSERT_LE(pos + sizeof(PERF_INSTANCE_DEFINITION), size);
        auto instance = PerfRead<PERF_INSTANCE_DEFINITION>(data, pos);
        ASSERT_EQ(instance.ByteLength % 8, 0u);
        ASSERT_GE(instance.NameOffset, sizeof(PERF_INSTANCE_DEFINITION));
        ASSERT_GE(instance.NameLength, 2u);
        ASSERT_EQ(instance.NameLength % 2, 0u);
        ASSERT_LE(instance.NameOffset + instance.NameLength, instance.ByteLength);
        ASSERT_LE(pos + instance.ByteLength + sizeof(PERF_COUNTER_BLOCK), size);
        PerfInstance record;
        for (DWORD at = 0; at + 2 < instance.NameLength; at += 2)
            record.name.push_back(PerfRead<WCHAR>(data, pos + instance.NameOffset + at));
        EXPECT_EQ(PerfRead<WCHAR>(data, pos + instance.NameOffset + instance.NameLength - 2), 0);
        EXPECT_EQ(record.name.find(u'\0'), std::u16string::npos);
        size_t block = pos + instance.ByteLength;
        DWORD blockLength = PerfRead<DWORD>(data, block);
        ASSERT_EQ(blockLength % 8, 0u);
        ASSERT_LE(block + blockLength, size);
        for (const Expected& e : expected) ASSERT_LE(e.offset + e.size, blockLength);
        record.pid = PerfRead<DWORD>(data, block + expected[0].offset);
        record.threads = PerfRead<DWORD>(data, block + expected[1].offset);
        record.workingSet = PerfRead<uint64_t>(data, block + expected[2].offset);
        record.privateBytes = PerfRead<uint64_t>(data, block + expected[3].offset);
        record.cpu100ns = PerfRead<uint64_t>(data, block + expected[4].offset);
        out.push_back(record);
        pos = block + blockLength;
    }
    ASSERT_EQ(pos, size) << "bytes after the last instance";
}
