// The seam's window operations against an Xvfb of the test's own, with the
// windows of our test client.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/x11/x11_harness.h"

namespace {

struct Seen {
    unsigned long window = 0;
    DWORD pid = 0;
    DWORD thread = 0;
    std::string title;
    int length = -1;
};

// What one enumeration reported, asking each window's owner and text from
// inside the callback. `sizes[i]` is the text buffer size for the i-th
// window (64 when missing); `during(i)` runs before the i-th window's
// questions.
struct Enumeration {
    std::vector<int> sizes;
    std::function<void(size_t)> during;
    std::vector<Seen> seen;
};

BOOL CALLBACK Collect(HWND window, LPARAM context) {
    auto* e = reinterpret_cast<Enumeration*>(context);
    size_t index = e->seen.size();
    if (e->during) e->during(index);
    Seen s;
    s.window = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window));
    s.thread = GetWindowThreadProcessId(window, &s.pid);
    int size = index < e->sizes.size() ? e->sizes[index] : 64;
    std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 1) + 8, 'Z');
    s.length = GetWindowTextA(window, buffer.data(), size);
    s.title = size > 0 ? std::string(buffer.data()) : std::string(1, buffer[0]);
    e->seen.push_back(s);
    return TRUE;
}

std::vector<Seen> Enumerate(Enumeration e = {}) {
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&e));
    return e.seen;
}

std::vector<unsigned long> WindowsOf(const std::vector<Seen>& seen) {
    std::vector<unsigned long> ids;
    for (const Seen& s : seen) ids.push_back(s.window);
    return ids;
}

// Runs `body` with standard error sent to a file; returns what was written.
std::string StderrOf(const std::function<void()>& body) {
    char path[] = "/tmp/x11_tests_stderr_XXXXXX";
    int file = mkstemp(path);
    if (file < 0) return "<no temporary file>";
    fflush(stderr);
    int saved = dup(2);
    dup2(file, 2);
    body();
    fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close(file);
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    unlink(path);
    return text;
}

class SeamWindows : public ::testing::Test {
protected:
    void StartServer(const std::vector<std::string>& args = {}) {
        server_ = StartXvfb(args);
        ASSERT_FALSE(server_.display.empty()) << "Xvfb did not start";
        SetDisplay(server_.display.c_str());
    }
    TitleClient Client(const std::vector<std::string>& args) {
        TitleClient c = StartTitleClient(server_.display, args);
        EXPECT_GT(c.pid, 0) << "the test client did not get ready";
        clients_.push_back(c.pid);
        return c;
    }
    void SetUp() override { StartServer(); }
    void TearDown() override {
        for (pid_t& p : clients_) StopProcess(p);
        StopProcess(server_.pid);
    }
    XServer server_;
    std::vector<pid_t> clients_;
};

TEST_F(SeamWindows, EveryWindowOldestFirstWithItsOwnerAndText) {
    TitleClient c = Client({":mapped one", "u:unmapped two", "n:net name only", "w:legacy name only",
                            "d:net name wins", "x:"});
    ASSERT_EQ(c.windows.size(), 6u);
    std::vector<Seen> seen = Enumerate();
    ASSERT_EQ(WindowsOf(seen), c.windows);
    const char* titles[] = {"mapped one", "unmapped two", "net name only", "legacy name only",
                            "net name wins", ""};
    for (size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(titles[i]);
        EXPECT_EQ(seen[i].pid, static_cast<DWORD>(c.pid));
        EXPECT_NE(seen[i].thread, 0u);
        EXPECT_EQ(seen[i].title, titles[i]);
        EXPECT_EQ(seen[i].length, static_cast<int>(std::string(titles[i]).size()));
    }
    // The connection lives only as long as the enumeration.
    DWORD pid = 77;
    EXPECT_EQ(GetWindowThreadProcessId(reinterpret_cast<HWND>(c.windows[0]), &pid), 0u);
    EXPECT_EQ(pid, 0u);
}

TEST_F(SeamWindows, ServerKnowsTheOwnerBetterThanTheWindowsHint) {
    TitleClient c = Client({"--pid=1", ":claims init"});
    std::vector<Seen> seen = Enumerate();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].pid, static_cast<DWORD>(c.pid));
}

TEST_F(SeamWindows, TextIsCutToTheBufferWithoutSplittingACharacter) {
    struct Case {
        std::string window;  // flags:title for the client
        int size;
        std::string expected;  // for size 0: the untouched first byte
        int length;
    };
    const std::string a61(61, 'a'), a62(62, 'a'), b63(63, 'b'), c100(100, 'c');
    const std::vector<Case> cases = {
        {":" + c100, 64, c100.substr(0, 63), 63},
        {":" + b63, 64, b63, 63},
        {":" + a62 + "\xC3\xA9", 64, a62, 62},  // the two bytes of é would need 65
        {":" + a61 + "\xC3\xA9", 64, a61 + "\xC3\xA9", 63},
        {":\xE2\x82\xAC" "uro", 3, "", 0},  // € takes three bytes
        {":\xE2\x82\xAC" "uro", 4, "\xE2\x82\xAC", 3},
        {":title", 1, "", 0},
        {":title", 0, "Z", 0},
        {"w:caf\xE9", 64, "caf\xC3\xA9", 5},  // WM_NAME in Latin-1
        {"c:caf\xC3\xA9", 64, "caf\xC3\xA9", 5},  // WM_NAME as compound text
    };
    std::vector<std::string> args;
    Enumeration e;
    for (const Case& k : cases) {
        args.push_back(k.window);
        e.sizes.push_back(k.size);
    }
    TitleClient c = Client(args);
    std::vector<Seen> seen = Enumerate(e);
    ASSERT_EQ(seen.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i) + ": " + cases[i].window);
        EXPECT_EQ(seen[i].title, cases[i].expected);
        EXPECT_EQ(seen[i].length, cases[i].length);
    }
}

TEST_F(SeamWindows, RunningManagersClientListIsFollowed) {
    TitleClient c = Client({"--manager", ":first", ":second", "h:not managed"});
    ASSERT_EQ(c.windows.size(), 3u);
    std::vector<Seen> seen = Enumerate();
    EXPECT_EQ(WindowsOf(seen), (std::vector<unsigned long>{c.windows[1], c.windows[0]}));
}

TEST_F(SeamWindows, ClientListOfAManagerThatHasGoneIsIgnored) {
    TitleClient c = Client({"--stale-manager", ":first", ":second"});
    std::vector<Seen> seen = Enumerate();
    EXPECT_EQ(WindowsOf(seen), c.windows);
}

TEST_F(SeamWindows, WindowsGoneDuringTheEnumerationAreCalledBackButOwnerless) {
    TitleClient leaving = Client({":leaving one", ":leaving two"});
    TitleClient staying = Client({":staying"});
    Enumeration e;
    e.during = [&](size_t index) {
        if (index != 1) return;
        StopProcess(clients_[0]);
        // Wait until the server has let the windows go.
        ASSERT_TRUE(WaitForTopLevelCount(server_.display, 1, 5.0));
    };
    std::vector<Seen> seen;
    std::string err = StderrOf([&] { seen = Enumerate(e); });
    EXPECT_EQ(err, "");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].pid, static_cast<DWORD>(leaving.pid));
    EXPECT_EQ(seen[1].pid, 0u);
    EXPECT_EQ(seen[1].thread, 0u);
    EXPECT_EQ(seen[1].title, "");
    EXPECT_EQ(seen[2].pid, static_cast<DWORD>(staying.pid));
    EXPECT_EQ(seen[2].title, "staying");
}

TEST_F(SeamWindows, ServerGoneDuringTheEnumerationEndsItQuietly) {
    Client({":one", ":two", ":three"});
    Enumeration e;
    e.during = [&](size_t index) {
        if (index == 1) StopProcess(server_.pid);
    };
    std::vector<Seen> seen;
    std::string err = StderrOf([&] { seen = Enumerate(e); });
    EXPECT_EQ(err, "");
    ASSERT_EQ(seen.size(), 3u);  // the list was taken before the first callback
    EXPECT_EQ(seen[0].title, "one");
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(seen[i].pid, 0u);
        EXPECT_EQ(seen[i].thread, 0u);
        EXPECT_EQ(seen[i].title, "");
        EXPECT_EQ(seen[i].length, 0);
    }
}

class SeamWindowsWithoutXRes : public SeamWindows {
    void SetUp() override { StartServer({"-extension", "X-Resource"}); }
};

TEST_F(SeamWindowsWithoutXRes, OwnerFromTheWindowsHintOrNone) {
    TitleClient hinted = Client({"--pid=4242", ":hinted"});
    TitleClient silent = Client({"--pid=none", ":silent"});
    std::vector<Seen> seen = Enumerate();
    ASSERT_EQ(WindowsOf(seen), (std::vector<unsigned long>{hinted.windows[0], silent.windows[0]}));
    EXPECT_EQ(seen[0].pid, 4242u);
    EXPECT_NE(seen[0].thread, 0u);
    EXPECT_EQ(seen[1].pid, 0u);
    EXPECT_EQ(seen[1].thread, 0u);
    EXPECT_EQ(seen[1].title, "silent");
}

// An authority file with one MIT-MAGIC-COOKIE-1 entry, for a server that
// refuses clients without the cookie.
std::string WriteAuthorityFile() {
    std::string path = "/tmp/x11_tests_auth_" + std::to_string(getpid());
    std::ofstream out(path, std::ios::binary);
    auto field = [&](const std::string& s) {
        out.put(static_cast<char>(s.size() >> 8)).put(static_cast<char>(s.size() & 0xFF)) << s;
    };
    out.put(static_cast<char>(1)).put(static_cast<char>(0));  // FamilyLocal (256)
    field("localhost");
    field("0");
    field("MIT-MAGIC-COOKIE-1");
    field(std::string("0123456789abcdef"));
    return path;
}

TEST(SeamWindowsNoDisplay, NoWindowsNoMessageNoWait) {
    std::string dead = UnservedDisplay();
    std::string authority = WriteAuthorityFile();
    XServer guarded = StartXvfb({"-auth", authority});
    ASSERT_FALSE(guarded.display.empty());
    setenv("XAUTHORITY", "/nonexistent/x11_tests_authority", 1);

    struct Case {
        const char* what;
        const char* display;
    } cases[] = {{"DISPLAY unset", nullptr},
                 {"DISPLAY empty", ""},
                 {"nobody serves the display", dead.c_str()},
                 {"the server refuses us", guarded.display.c_str()}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        SetDisplay(k.display);
        std::vector<Seen> seen;
        std::string err = StderrOf([&] { seen = Enumerate(); });
        EXPECT_TRUE(seen.empty());
        EXPECT_EQ(err, "");
    }
    StopProcess(guarded.pid);
    unlink(authority.c_str());
}

}  // namespace
