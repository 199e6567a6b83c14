// Arguments no user should type: empty, huge, high bytes, PIDs at and past
// the 32-bit limit. Each ends with its message, or is accepted, and nothing
// crashes or reads out of bounds.
#include "tests/front/front_cases.h"

namespace {

using Args = std::vector<std::string>;

class BadInputTest : public FrontTest {
protected:
    // On NT, through the whole program: the screen with `message`, or, when
    // `message` is null, acceptance (the NT-only check follows the switches).
    void ExpectNt(const Args& args, const char* message) {
        SCOPED_TRACE(ShowArgs(args));
        Fake().versionWord = 0x80000000u;
        const RunResult r = RunProgram(args);
        EXPECT_EQ(r.out, message ? NtScreen(message) : std::string(kNtOnlyLine));
        EXPECT_EQ(r.end, RunEnd::ExitProcess);
        EXPECT_EQ(r.exitCode, 0xFFFFu);
    }
};

const std::string k100K(100 * 1024, 'a');

TEST_F(BadInputTest, PidAtAndPastTheThirtyTwoBitLimit) {
    const std::pair<const char*, const char*> cases[] = {
        {"/p4294967295", nullptr},
        {"/p4294967296", "<PID> has wrong format"},
        {"/p4294967300", "<PID> has wrong format"},
        {"/p18446744073709551616", "<PID> has wrong format"},
        {"/p99999999999999999999999999", "<PID> has wrong format"},
        {"/p$FFFFFFFF", nullptr},
        {"/p$0xffffffff", nullptr},
        {"/p$100000000", "<PID> has wrong format"},
        {"/p$0x100000000", "<PID> has wrong format"},
        {"/p$10000000000000000", "<PID> has wrong format"},
        {"/p$  FFFFFFFF0", "<PID> has wrong format"},
        {"/p 4294967295x", nullptr},
        {"/p 4294967296x", "<PID> has wrong format"},
    };
    for (const auto& [arg, message] : cases) ExpectNt({arg}, message);

    const std::pair<const char*, const char*> values[] = {{"/p4294967295", "pid=4294967295"},
                                                          {"/p$FFFFFFFF", "pid=4294967295"},
                                                          {"/p$0xffffffff", "pid=4294967295"},
                                                          {"/p 4294967295x", "pid=4294967295"}};
    for (const auto& [arg, pid] : values) {
        SCOPED_TRACE(arg);
        const RunResult r = ParseInChild(SwitchSet::Nt, {arg});
        EXPECT_NE(r.out.find(pid), std::string::npos) << r.out;
    }
}

TEST_F(BadInputTest, HugeArguments) {
    ExpectNt({"/l" + k100K}, "unknown option");
    ExpectNt({k100K}, "unknown option");
    ExpectNt({"/p" + std::string(100 * 1024, '1')}, "<PID> has wrong format");
    ExpectNt({"/p$" + std::string(100 * 1024, 'F')}, "<PID> has wrong format");
    ExpectNt({"/p" + std::string(100 * 1024, '0') + "7"}, nullptr);
    ExpectNt({"/p" + std::string(100 * 1024, ' ') + "7"}, nullptr);
    ExpectNt({"/p" + std::string(100 * 1024, ' ')}, "<PID> has wrong format");
    ExpectNt({"/n" + k100K}, nullptr);
    ExpectNt({"/n" + std::string(100 * 1024, '\\')}, "name component not present");
    ExpectNt({"/n" + std::string(100 * 1024, '.')}, nullptr);  // base name: all dots but the last
    ExpectNt({"/n" + std::string(100 * 1024, 'a') + "\\.exe"}, "name component not present");
    ExpectNt({"/l", "/n" + k100K, "/n" + k100K}, "Option /n specified more than once");
}

// Every component of a huge pattern is cut to 255 bytes.
TEST_F(BadInputTest, HugeNameIsCutPerComponent) {
    const std::string dir(100 * 1024, 'd');
    const std::string base(100 * 1024, 'b');
    const std::string ext(100 * 1024, 'e');
    const RunResult r = ParseInChild(SwitchSet::Win9x, {"/nX:" + dir + "\\" + base + "." + ext});
    const std::string expected = std::string(kAccepted) + "a=0 d=0 l=0 v=0 n=1 p=0 pid=0 [X:|" +
                                 std::string(255, 'd') + "|" + std::string(255, 'b') + "|." +
                                 std::string(254, 'e') + "]";
    EXPECT_EQ(r.out, expected);
}

TEST_F(BadInputTest, EmptyArguments) {
    ExpectNt({""}, "unknown option");
    ExpectNt({"/l", ""}, "unknown option");
    ExpectNt({"", "", ""}, "unknown option");
    ExpectNt({"-"}, "unknown option");
    ExpectNt({"/l", "/"}, "unknown option");
}

// High bytes are never letters, prefixes or anything but name bytes.
TEST_F(BadInputTest, HighBytes) {
    for (int b = 0x80; b <= 0xFF; ++b) {
        const char c = static_cast<char>(b);
        SCOPED_TRACE("byte " + std::to_string(b));
        for (const std::string& arg : {std::string(1, c), std::string("/") + c,
                                       std::string("-") + c + "l", std::string("/l") + c,
                                       std::string("/p") + c + "1"}) {
            const RunResult r = ParseInChild(SwitchSet::Win9x, {arg});
            const char* message = arg[1] == 'p' ? "<PID> has wrong format" : "unknown option";
            EXPECT_EQ(r.out, Win9xScreen(message)) << ShowArgs({arg});
            EXPECT_EQ(r.exitCode, 0xFFFFu);
        }
        const std::string name = std::string("/n") + c + c + "." + c;
        const RunResult r = ParseInChild(SwitchSet::Nt, {name, "/a"});
        EXPECT_EQ(r.out, std::string(kAccepted) + "a=1 d=0 l=0 v=0 n=1 p=0 pid=0 [||" +
                             std::string(2, c) + "|." + c + "]");
    }
    std::string allHigh;
    for (int b = 0x80; b <= 0xFF; ++b) allHigh += static_cast<char>(b);
    ExpectNt({"/n" + allHigh}, nullptr);
    ExpectNt({allHigh}, "unknown option");
}

}  // namespace
