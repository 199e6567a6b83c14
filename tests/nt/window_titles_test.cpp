// Window titles: which entry receives the text of which window.
#include <gtest/gtest.h>

#include "tests/nt/nt_fixture.h"
#include "tests/nt/perf_block_builder.h"

namespace {

class WindowTitles : public NtTest {
protected:
    TaskListProbe Run(const std::vector<TestTask>& tasks) {
        SetMachine(StandardImage(tasks).bytes);
        TaskListProbe probe = ProbeTaskList(0, true);
        EXPECT_TRUE(probe.finished);
        EXPECT_EQ(probe.result, 1);
        return probe;
    }
};

TEST_F(WindowTitles, EachProcessGetsTheTextOfItsLastWindow) {
    Fake().windows = {{20, 1, "Untitled - Notes"}, {30, 1, "first"}, {20, 1, "Find"},
                      {30, 1, ""}, {99, 1, "not in the table"}};
    const TaskListProbe p = Run({{10, 1, 0, 0, 0, u"idle"}, {20, 1, 0, 0, 0, u"notes"},
                                 {30, 1, 0, 0, 0, u"shell"}});
    ASSERT_EQ(p.tasks.size(), 3u);
    EXPECT_EQ(p.tasks[0].title, "");      // no window at all
    EXPECT_EQ(p.tasks[1].title, "Find");  // the later window replaces the text
    EXPECT_EQ(p.tasks[2].title, "");      // the later window has no text
    EXPECT_EQ(p.run.CountCalls("GetWindowTextA"), 4);
    for (const auto& call : p.run.CallsStartingWith("GetWindowTextA"))
        EXPECT_EQ(call.substr(call.rfind(' ')), " 64");
}

TEST_F(WindowTitles, LongTextsAreCutTo63Bytes) {
    Fake().windows = {{20, 1, std::string(100, 'w')}};
    const TaskListProbe p = Run({{20, 1, 0, 0, 0, u"notes"}});
    ASSERT_EQ(p.tasks.size(), 1u);
    EXPECT_EQ(p.tasks[0].title, std::string(63, 'w'));
}

TEST_F(WindowTitles, OnlyTheFirstEntryOfASharedPidGetsTitles) {
    Fake().windows = {{20, 1, "shared"}};
    const TaskListProbe p = Run({{20, 1, 0, 0, 0, u"a"}, {20, 1, 0, 0, 0, u"b"}});
    ASSERT_EQ(p.tasks.size(), 2u);
    EXPECT_EQ(p.tasks[0].title, "shared");
    EXPECT_EQ(p.tasks[1].title, "");
}

TEST_F(WindowTitles, AWindowWithoutThreadIsSkipped) {
    // No thread: the owner is unknown, even for a PID of 0 in the table.
    Fake().windows = {{0, 0, "orphan"}, {20, 0, "orphan too"}};
    const TaskListProbe p = Run({{0, 1, 0, 0, 0, u"Idle"}, {20, 1, 0, 0, 0, u"a"}});
    ASSERT_EQ(p.tasks.size(), 2u);
    EXPECT_EQ(p.tasks[0].title, "");
    EXPECT_EQ(p.tasks[1].title, "");
    EXPECT_EQ(p.run.CountCalls("GetWindowTextA"), 0);
}

TEST_F(WindowTitles, AnEmptyTableStillEnumeratesEveryWindow) {
    Fake().windows = {{1, 1, "a"}, {2, 1, "b"}, {3, 1, "c"}};
    const TaskListProbe p = Run({});
    EXPECT_TRUE(p.tasks.empty());
    EXPECT_EQ(p.run.CountCalls("EnumWindows"), 1);
    EXPECT_EQ(p.run.CountCalls("GetWindowThreadProcessId"), 3);
    EXPECT_EQ(p.run.CountCalls("GetWindowTextA"), 0);
}

}  // namespace
