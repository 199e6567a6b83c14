// The number fields of a row: CPU time and memory columns.
#include <gtest/gtest.h>

#include <iostream>

#include "nt/nt_driver.h"
#include "tests/fake/run_isolated.h"

namespace {

struct CpuField {
    double seconds;
    std::string text;
};

TEST(RowFields, CpuTimeIsHoursMinutesSecondsMilliseconds) {
    const std::vector<CpuField> cases = {{0.0, "  0:00:00.000"},          {3723.5, "  1:02:03.500"},
                                         {86399.999, " 23:59:59.998"},    {3600005.0, "1000:00:04.999"},
                                         {0.13999999999999999, "  0:00:00.139"}, {59.0, "  0:00:59.000"}};
    const RunResult run = RunIsolated([&cases] {
        for (const CpuField& c : cases) {
            PutCpuTime(c.seconds);
            std::cout << '|';
        }
    });
    std::string expected;
    for (const CpuField& c : cases) expected += c.text + "|";
    EXPECT_EQ(run.out, expected);
}

struct MemoryField {
    uint64_t bytes;
    std::string text;
};

TEST(RowFields, KilobytesAreWholeUnitsOf1024InSevenPlaces) {
    const std::vector<MemoryField> cases = {{1023, "      0"},        {1024, "      1"},
                                            {2101248, "   2052"},     {1048575, "   1023"},
                                            {0xFFFFFFFFu, "4194303"}, {5368709120u, "5242880"},
                                            {10995116277760u, "10737418240"},
                                            {UINT64_MAX, "18014398509481983"}};
    const RunResult run = RunIsolated([&cases] {
        std::cout << std::hex;  // the field sets its own base
        for (const MemoryField& c : cases) {
            PutKilobytes(c.bytes);
            std::cout << '|';
        }
    });
    std::string expected;
    for (const MemoryField& c : cases) expected += c.text + "|";
    EXPECT_EQ(run.out, expected);
}

}  // namespace
