// The built program's verbose listing with window titles from a private
// Xvfb: our test client's windows, a real X program's window, and runs
// without any display.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"
#include "tests/x11/x11_harness.h"

namespace {

// The listing row of `pid`, without its line feed, or "" when none.
std::string RowOf(const std::string& listing, pid_t pid) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, " $%04X  ", static_cast<unsigned>(pid));
    std::istringstream in(listing);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) return line;
    return "";
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct FindTitle {
    const char* title;
    bool found = false;
};

BOOL CALLBACK LookForTitle(HWND window, LPARAM context) {
    auto* f = reinterpret_cast<FindTitle*>(context);
    char text[64];
    GetWindowTextA(window, text, sizeof text);
    if (std::string(text) == f->title) f->found = true;
    return TRUE;
}

// Waits until a window titled `title` is on the display of DISPLAY.
bool WaitForTitle(const char* title, double seconds) {
    auto start = std::chrono::steady_clock::now();
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds) {
        FindTitle f{title};
        EnumWindows(LookForTitle, reinterpret_cast<LPARAM>(&f));
        if (f.found) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

class ListingTitles : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = StartXvfb();
        ASSERT_FALSE(server_.display.empty()) << "Xvfb did not start";
        SetDisplay(server_.display.c_str());
    }
    void TearDown() override {
        for (pid_t& p : children_) StopProcess(p);
        StopProcess(server_.pid);
    }
    pid_t Client(const std::vector<std::string>& args) {
        TitleClient c = StartTitleClient(server_.display, args);
        EXPECT_GT(c.pid, 0) << "the test client did not get ready";
        children_.push_back(c.pid);
        return c.pid;
    }
    RunResult Listing(const char* verbose = "/v") {
        return RunProgram({TASKREAP_EXE, "/l", verbose}, server_.display.c_str(), 30);
    }
    XServer server_;
    std::vector<pid_t> children_;
};

TEST_F(ListingTitles, OurClientsAndXtermsWindowsAfterTheirRows) {
    pid_t client = Client({":reap probe title"});
    pid_t xterm = SpawnWithDisplay({"xterm", "-fn", "fixed", "-T", "xterm probe", "-e", "sleep", "120"}, server_.display);
    ASSERT_GT(xterm, 0);
    children_.push_back(xterm);
    ASSERT_TRUE(WaitForTitle("xterm probe", 20)) << "xterm's window did not appear";

    RunResult r = Listing();
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(EndsWith(RowOf(r.out, client), " x11_title_clien [reap probe title]")) << r.out;
    EXPECT_TRUE(EndsWith(RowOf(r.out, xterm), " xterm.exe [xterm probe]")) << r.out;

    RunResult plain = Listing("/l");
    EXPECT_TRUE(EndsWith(RowOf(plain.out, client), " x11_title_clien")) << plain.out;
}

TEST_F(ListingTitles, LongTitlesCutAndTheLastWindowOfAProcessWins) {
    const std::string long100 = std::string(50, 'L') + std::string(50, 'M');
    struct Case {
        std::vector<std::string> windows;
        std::string tail;  // the row's end after the name
    };
    const std::vector<Case> cases = {
        {{":" + long100}, " [" + long100.substr(0, 63) + "]"},
        {{":earlier title", ":"}, ""},  // the later window has no text
        {{":", ":later title"}, " [later title]"},
        {{":earlier title", "u:later unmapped"}, " [later unmapped]"},
        {{"x:"}, ""},
    };
    std::vector<pid_t> pids;
    for (const Case& k : cases) pids.push_back(Client(k.windows));
    RunResult r = Listing();
    ASSERT_FALSE(r.timedOut);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        std::string row = RowOf(r.out, pids[i]);
        EXPECT_TRUE(EndsWith(row, " x11_title_clien" + cases[i].tail)) << row;
    }
}

TEST(ListingWithoutDisplay, NoTitlesAndNoWaitForAConnection) {
    std::string dead = UnservedDisplay();
    struct Case {
        const char* what;
        const char* display;
    } cases[] = {{"DISPLAY unset", nullptr}, {"nobody serves DISPLAY", dead.c_str()}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        // A connection attempt that waited for anything would run into the
        // timeout; an ordinary listing takes a fraction of a second.
        RunResult r = RunProgram({TASKREAP_EXE, "/l", "/v"}, k.display, 10);
        ASSERT_FALSE(r.timedOut);
        EXPECT_NE(r.out.find("------- --- ------------- ------- ------- ------>"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find(" ["), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }
}

}  // namespace
