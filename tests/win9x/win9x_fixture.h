// A fake Windows 98 machine for runs of the 95/98 back end.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fake/fake_machine.h"
#include "tests/fake/run_isolated.h"

inline const std::string kBannerLine410 =
    "Taskreap W32 1.2 (W95+W98) is running with Windows Version 4.10\n\n";
inline const std::string kShortHeader =
    " Process   Parent    Process\n"
    "   ID        ID       Name\n\n";
inline const std::string kVerboseHeader =
    " Process   Parent     HMOD    Th Pr Bit Process\n"
    "   ID        ID                         Name\n\n";

class Win9xMachine : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFake();
        Fake().platformId = VER_PLATFORM_WIN32_WINDOWS;
        Fake().major = 4;
        Fake().minor = 10;
        Fake().build = 1998;
    }

    // A process in the snapshot, also known to OpenProcess and terminable.
    static void AddProcess(DWORD pid, DWORD parent, const std::string& exe, DWORD moduleId = 0,
                           DWORD threads = 1, LONG priority = 8) {
        Fake().snapshot.push_back(FakeSnapshotProcess{pid, parent, moduleId, threads, priority, exe});
        Fake().processes[pid] = FakeProcess{};
    }

    // The PIDs given to OpenProcess, in call order.
    static std::vector<std::string> Opened(const RunResult& r) {
        std::vector<std::string> pids;
        for (const auto& c : r.CallsStartingWith("OpenProcess "))
            pids.push_back(c.substr(c.rfind(' ') + 1));
        return pids;
    }

    static void ExpectExit(const RunResult& r, uint32_t status) {
        EXPECT_EQ(r.end, RunEnd::ExitProcess);
        EXPECT_EQ(r.exitCode, status);
    }

    // GetVersion itself, which the banner line needs (not GetVersionExA).
    static bool CalledGetVersion(const RunResult& r) {
        for (const auto& c : r.calls)
            if (c == "GetVersion") return true;
        return false;
    }

    // Nothing released: neither the snapshot closed nor the library freed.
    static void ExpectNoRelease(const RunResult& r) {
        EXPECT_EQ(r.CountCalls("CloseHandle process-snapshot"), 0);
        EXPECT_EQ(r.CountCalls("FreeLibrary"), 0);
    }
};
