// The two name matchers: a task name (NT) and a full executable path
// (95/98) against a split /n pattern, component by component.
#include <gtest/gtest.h>

#include <string>

#include "patterns/name_pattern.h"
#include "tests/fake/fake_machine.h"

namespace {

NamePattern Pattern(const char* text) {
    NamePattern p{};
    SplitPath(text, p.Drive, p.Directory, p.BaseName, p.Extension);
    return p;
}

struct Case {
    const char* pattern;
    const char* candidate;
    int expected;
};

class NameMatchTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFake(); }
};

TEST_F(NameMatchTest, TaskNames) {
    const Case cases[] = {
        {"notepad.exe", "notepad.exe", 1},
        {"NOTEPAD.EXE", "notepad.exe", 1},
        {"notepad", "notepad.exe", 1},
        {"note*", "notepad.exe", 1},
        {"n?tepad", "notepad.exe", 1},
        {"*", "notepad.exe", 1},
        {"*", "System", 1},
        {"*.exe", "EXPLORER.EXE", 1},
        {"*.exe", "notepad.com", 0},
        {"*.*", "System", 0},
        {"*.*", "notepad.exe", 1},
        {"*e", "notepad.exe", 0},
        {"*e.exe", "notepad.exe", 0},
        {"?otepad", "notepad.exe", 1},
        {"?otepad", "otepad.exe", 0},
        {"notepad?", "notepad.exe", 0},
        {"notepad*", "notepad.exe", 1},
        {"note*", "notepad", 1},
        {"notepad.exe", "notepad", 0},
        {"notepad.", "notepad", 0},
        {"notepad.", "notepad.", 1},
        {"*.e*", "a.exe", 1},
        {"*.ex", "a.exe", 0},
        {"a.b", "a.b.b", 0},
        {"a.b.*", "a.b.c", 1},
        {"a*", "a.b.c", 1},
        // No drive and no directory in a task name: such a pattern selects nothing.
        {"c:notepad", "notepad.exe", 0},
        {"\\notepad.exe", "notepad.exe", 0},
        {"*\\*", "notepad.exe", 0},
        {"\xC4*", "\xE4ksel.exe", 0},
        {"\xC4*", "\xC4ksel.exe", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchTaskName(c.candidate, Pattern(c.pattern)), c.expected)
            << "pattern \"" << c.pattern << "\" name \"" << c.candidate << "\"";
}

TEST_F(NameMatchTest, ExecutablePaths) {
    const Case cases[] = {
        {"notepad.exe", "C:\\WINDOWS\\NOTEPAD.EXE", 1},
        {"note*", "C:\\WINDOWS\\NOTEPAD.EXE", 1},
        {"c:notepad", "C:\\WINDOWS\\NOTEPAD.EXE", 1},
        {"d:notepad", "C:\\WINDOWS\\NOTEPAD.EXE", 0},
        {"?:notepad", "C:\\WINDOWS\\NOTEPAD.EXE", 1},
        {"c:notepad", "\\WINDOWS\\NOTEPAD.EXE", 0},
        {"\\windows\\notepad", "C:\\WINDOWS\\NOTEPAD.EXE", 1},
        {"/windows/notepad", "C:\\WINDOWS\\NOTEPAD.EXE", 0},
        {"\\windows\\notepad", "C:\\WINDOWS\\SYSTEM\\NOTEPAD.EXE", 0},
        {"\\windows\\*\\notepad", "C:\\WINDOWS\\SYSTEM\\NOTEPAD.EXE", 1},
        {"*\\notepad", "C:\\WINDOWS\\NOTEPAD.EXE", 1},
        {"*\\notepad", "NOTEPAD.EXE", 0},
        {"*\\*", "C:\\A\\B\\C.EXE", 1},
        {"*\\*", "C:NOTEPAD.EXE", 0},
        {"c:\\windows\\notepad.exe", "C:\\WINDOWS\\NOTEPAD.EXE", 1},
        {"c:\\windows\\notepad.com", "C:\\WINDOWS\\NOTEPAD.EXE", 0},
        {"*.exe", "C:\\DIR.X\\FILE", 0},
        {"file", "C:\\DIR.X\\FILE", 1},
        {"*.x", "C:\\DIR.X\\FILE", 0},
        {"*e", "C:\\WINDOWS\\NOTEPAD.EXE", 0},
        {"*.exe", "C:\\PROGRA~1\\EXPLORER.EXE", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchExePath(c.candidate, Pattern(c.pattern)), c.expected)
            << "pattern \"" << c.pattern << "\" path \"" << c.candidate << "\"";
}

// The candidate's wildcards are plain bytes: only the pattern's count.
TEST_F(NameMatchTest, CandidateWildcardsAreLiteral) {
    EXPECT_EQ(MatchTaskName("*.exe", Pattern("notepad")), 0);
    EXPECT_EQ(MatchTaskName("*.exe", Pattern("?.exe")), 1);
    EXPECT_EQ(MatchExePath("C:\\*\\x.exe", Pattern("\\a\\x")), 0);
}

// Under a double-byte code page the candidate is split by the same rule:
// a '\\' that is the second byte of a character starts no name part.
TEST_F(NameMatchTest, CandidateSplitFollowsTheLeadByteRule) {
    const NamePattern pattern = Pattern("*\\x");
    const char* path = "C:\\\x95\\x.exe";  // directory \, then the name 95 5C 'x'
    EXPECT_EQ(MatchExePath(path, pattern), 1);
    Fake().leadBytes.insert(0x95);
    EXPECT_EQ(MatchExePath(path, pattern), 0);
    EXPECT_EQ(MatchExePath(path, Pattern("\\\x95\\x")), 1);
}

// The scratch record is rewritten on every call: a long candidate leaves
// nothing behind for a short one.
TEST_F(NameMatchTest, ScratchHoldsNothingBetweenCalls) {
    const NamePattern pattern = Pattern("*\\a");
    EXPECT_EQ(MatchExePath("D:\\LONG\\DIRECTORY\\A.EXE", pattern), 1);
    EXPECT_EQ(MatchExePath("A.EXE", pattern), 0);
    EXPECT_EQ(MatchTaskName("abc.exe", Pattern("abc")), 1);
    EXPECT_EQ(MatchTaskName("ab", Pattern("abc")), 0);
    EXPECT_EQ(MatchTaskName("ab", Pattern("ab.*")), 0);
}

}  // namespace
