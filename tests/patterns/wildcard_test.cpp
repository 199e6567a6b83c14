// MatchWildcard: a table of cases, agreement with the plain recursive
// matcher (every star tries every split, nothing remembered) on random short
// inputs, and the many-star case that such a matcher cannot finish.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "patterns/name_pattern.h"
#include "tests/patterns/reference_wildcard.h"

namespace {

struct Case {
    const char* pattern;
    const char* text;
    int expected;
};

TEST(WildcardTest, TableOfCases) {
    const Case cases[] = {
        {"", "", 1},
        {"", "a", 0},
        {"*", "", 1},
        {"*", "anything at all", 1},
        {"**", "", 1},
        {"?", "", 0},
        {"?", "x", 1},
        {"?", "xy", 0},
        {"notepad", "NOTEPAD", 1},
        {"NotePad", "notepad", 1},
        {"note*", "notepad", 1},
        {"n?tepad", "notepad", 1},
        {"?otepad", "notepad", 1},
        {"?otepad", "otepad", 0},
        {"notepa?", "notepa", 0},
        {"notepad*", "notepad", 1},
        {"*pad", "notepad", 1},
        {"*e", "notepad", 0},
        {"*e*", "notepad", 1},
        {"n*t*p*d", "notepad", 1},
        {"n*x*d", "notepad", 0},
        {".exe", ".EXE", 1},
        {".*", "", 0},
        {".*", ".", 1},
        {".exe", ".com", 0},
        {"*.exe", "a.exe.exe", 1},
        {"a*a", "a", 0},
        {"a*a", "aa", 1},
        {"*a*", "bbb", 0},
        {"?*?", "x", 0},
        {"?*?", "xy", 1},
        {"*?", "", 0},
        {"c:", "C:", 1},
        {"\\windows\\", "\\WINDOWS\\", 1},
        {"/windows/", "\\WINDOWS\\", 0},
        {"*\\", "\\", 1},
        {"*\\", "", 0},
        {"[a]", "[A]", 1},
        {"[a]", "a", 0},
        {"a.b", "aXb", 0},
        {"@", "`", 0},
        {"[", "{", 0},
        {"\xC4", "\xE4", 0},
        {"\xE4", "\xC4", 0},
        {"\xE4", "\xE4", 1},
        {"?", "\xE4", 1},
        {"\x88?", "\x88\x9F", 1},
        {"*\x9F", "\x88\x9F", 1},
        {"lit*", "lit*eral", 1},
        {"lit?", "lit*", 1},
        {"a", "*", 0},
        {"a", "?", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchWildcard(c.pattern, c.text), c.expected)
            << "pattern \"" << c.pattern << "\" text \"" << c.text << "\"";
        EXPECT_EQ(ReferenceMatch(c.pattern, c.text), c.expected)
            << "reference, pattern \"" << c.pattern << "\" text \"" << c.text << "\"";
    }
}

TEST(WildcardTest, AgreesWithTheBacktrackingMatcherOnRandomInputs) {
    const char alphabet[] = {'*', '?', 'a', 'A', 'b', '\xC4', '\xE4'};
    std::mt19937 random(20240611u);
    std::uniform_int_distribution<int> letter(0, sizeof alphabet - 1);
    std::uniform_int_distribution<int> patternLength(0, 8);
    std::uniform_int_distribution<int> textLength(0, 10);
    int matches = 0;
    for (int i = 0; i < 40000; ++i) {
        std::string pattern, text;
        for (int n = patternLength(random); n > 0; --n) pattern += alphabet[letter(random)];
        // The text is taken literally; it may hold '*' and '?' too.
        for (int n = textLength(random); n > 0; --n) text += alphabet[letter(random)];
        const int expected = ReferenceMatch(pattern.c_str(), text.c_str());
        matches += expected;
        ASSERT_EQ(MatchWildcard(pattern.c_str(), text.c_str()), expected)
            << "pattern \"" << pattern << "\" text \"" << text << "\"";
    }
    // Both outcomes must be well represented for the comparison to mean much.
    EXPECT_GT(matches, 2000);
    EXPECT_LT(matches, 38000);
}

// Eleven "*a" and a final "*b" against 255 bytes of 'a': the backtracking
// matcher would try about C(255, 11) splits; this one answers at once.
TEST(WildcardTest, ManyStarsAgainstALongComponent) {
    const std::string pattern = "*a*a*a*a*a*a*a*a*a*a*a*b";
    const std::string as(255, 'a');
    EXPECT_EQ(MatchWildcard(pattern.c_str(), as.c_str()), 0);
    EXPECT_EQ(MatchWildcard(pattern.c_str(), (as.substr(1) + "B").c_str()), 1);
    EXPECT_EQ(MatchWildcard(pattern.c_str(), (std::string(10, 'a') + "b").c_str()), 0);
    EXPECT_EQ(MatchWildcard(pattern.c_str(), (std::string(11, 'a') + "b").c_str()), 1);
    EXPECT_EQ(MatchWildcard(std::string(255, '*').c_str(), as.c_str()), 1);
    EXPECT_EQ(MatchWildcard((std::string(254, '?') + "*").c_str(), as.c_str()), 1);
    EXPECT_EQ(MatchWildcard((std::string(256, '?') + "*").c_str(), as.c_str()), 0);
    EXPECT_EQ(MatchWildcard(("*" + std::string(200, 'a') + "*b*").c_str(), as.c_str()), 0);
}

}  // namespace
