// SplitPath: the four components, the cuts at 255 bytes and the lead-byte
// rule of a double-byte code page (set through the fake's lead bytes).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "patterns/name_pattern.h"
#include "tests/fake/fake_machine.h"

namespace {

struct Split {
    std::string drive, dir, base, ext;
    bool operator==(const Split&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Split& s) {
    return os << "[" << s.drive << "|" << s.dir << "|" << s.base << "|" << s.ext << "] sizes "
              << s.dir.size() << "/" << s.base.size() << "/" << s.ext.size();
}

// Splits into buffers that are filled with junk first and guarded after
// their end, so a missing terminator or a write past a buffer shows.
Split DoSplit(const std::string& path) {
    struct Guarded {
        NamePattern p;
        char guard[64];
    } g;
    std::memset(&g, 0x5A, sizeof g);
    SplitPath(path.c_str(), g.p.Drive, g.p.Directory, g.p.BaseName, g.p.Extension);
    for (char c : g.guard) EXPECT_EQ(c, 0x5A) << "written past the extension buffer";
    EXPECT_NE(std::memchr(g.p.Drive, 0, sizeof g.p.Drive), nullptr);
    EXPECT_NE(std::memchr(g.p.Directory, 0, sizeof g.p.Directory), nullptr);
    EXPECT_NE(std::memchr(g.p.BaseName, 0, sizeof g.p.BaseName), nullptr);
    EXPECT_NE(std::memchr(g.p.Extension, 0, sizeof g.p.Extension), nullptr);
    return {g.p.Drive, g.p.Directory, g.p.BaseName, g.p.Extension};
}

class SplitPathTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFake(); }
    void TearDown() override { ResetFake(); }
};

struct Case {
    std::string path;
    Split expected;
};

TEST_F(SplitPathTest, SingleByteCodePage) {
    const Case cases[] = {
        {"C:\\WINDOWS\\EXPLORER.EXE", {"C:", "\\WINDOWS\\", "EXPLORER", ".EXE"}},
        {"notepad.exe", {"", "", "notepad", ".exe"}},
        {"a.b.c", {"", "", "a.b", ".c"}},
        {"dir.x\\file", {"", "dir.x\\", "file", ""}},
        {"file.", {"", "", "file", "."}},
        {".exe", {"", "", "", ".exe"}},
        {"c:notepad", {"c:", "", "notepad", ""}},
        {"", {"", "", "", ""}},
        {"C:", {"C:", "", "", ""}},
        {"C", {"", "", "C", ""}},
        {":", {"", "", ":", ""}},
        {"::", {"::", "", "", ""}},
        {"1:x", {"1:", "", "x", ""}},
        {"ab:c", {"", "", "ab:c", ""}},
        {"a:b:c.d", {"a:", "", "b:c", ".d"}},
        {"\\", {"", "\\", "", ""}},
        {"/", {"", "/", "", ""}},
        {"a/b\\c/d.e", {"", "a/b\\c/", "d", ".e"}},
        {"C:/usr/bin/", {"C:", "/usr/bin/", "", ""}},
        {"x.y/z", {"", "x.y/", "z", ""}},
        {"dir\\.exe", {"", "dir\\", "", ".exe"}},
        {"..", {"", "", ".", "."}},
        {"*.*", {"", "", "*", ".*"}},
        {"\\\\server\\share\\x.y", {"", "\\\\server\\share\\", "x", ".y"}},
        {"\x80\xFF:\xE4.\xC4", {"", "", "\x80\xFF:\xE4", ".\xC4"}},
        {"\xC4:\\\xE4", {"\xC4:", "\\", "\xE4", ""}},
    };
    for (const Case& c : cases) EXPECT_EQ(DoSplit(c.path), c.expected) << "path " << c.path;
}

TEST_F(SplitPathTest, LongComponentsAreCutAt255Bytes) {
    const std::string d300(300, 'd'), b300(300, 'b'), e300(300, 'e');
    const Case cases[] = {
        {std::string(255, 'b'), {"", "", std::string(255, 'b'), ""}},
        {std::string(256, 'b'), {"", "", std::string(255, 'b'), ""}},
        {std::string(254, 'd') + "\\x", {"", std::string(254, 'd') + "\\", "x", ""}},
        {std::string(255, 'd') + "\\x", {"", std::string(255, 'd'), "x", ""}},
        // The name still starts after the last separator and the extension
        // at the last dot, whatever was cut before them.
        {"C:" + d300 + "\\" + b300 + "." + e300,
         {"C:", std::string(255, 'd'), std::string(255, 'b'), "." + std::string(254, 'e')}},
        {d300 + "." + d300 + "\\" + b300, {"", std::string(255, 'd'), std::string(255, 'b'), ""}},
        {b300 + ".x", {"", "", std::string(255, 'b'), ".x"}},
        {"x." + e300, {"", "", "x", "." + std::string(254, 'e')}},
        {std::string(1000, '.'), {"", "", std::string(255, '.'), "."}},
    };
    for (const Case& c : cases) EXPECT_EQ(DoSplit(c.path), c.expected) << "path of " << c.path.size();
}

// A code page of the Shift-JIS kind: lead bytes 0x81-0x9F and 0xE0-0xFC,
// whose second bytes include '\\' (0x5C) and '.'-free ranges.
void UseDoubleByteCodePage() {
    Fake().codePage = 932;
    for (int b = 0x81; b <= 0x9F; ++b) Fake().leadBytes.insert(static_cast<unsigned char>(b));
    for (int b = 0xE0; b <= 0xFC; ++b) Fake().leadBytes.insert(static_cast<unsigned char>(b));
}

TEST_F(SplitPathTest, LeadByteTakesTheNextByteWithIt) {
    UseDoubleByteCodePage();
    const Case cases[] = {
        // 0x95 0x5C is one character; its second byte is no separator.
        {"\x95\\x.txt", {"", "", "\x95\\x", ".txt"}},
        {"dir\\\x95\\.txt", {"", "dir\\", "\x95\\", ".txt"}},
        {"\x95\\\\name", {"", "\x95\\\\", "name", ""}},
        {"a\x81.b", {"", "", "a\x81.b", ""}},
        {"a\x81/b", {"", "", "a\x81/b", ""}},
        // Lead bytes pair up from the left: 81 81 is one character, then 81 5C.
        {"\x81\x81\x81\\x", {"", "", "\x81\x81\x81\\x", ""}},
        {"\x81\x81\\x", {"", "\x81\x81\\", "x", ""}},
        // A lead byte just before the terminator: the scan stops there.
        {"dir\\\x95", {"", "dir\\", "\x95", ""}},
        {"\x95", {"", "", "\x95", ""}},
        {"a.\x95", {"", "", "a", ".\x95"}},
        // The drive rule looks at the second byte whatever the first is.
        {"\x95:x", {"\x95:", "", "x", ""}},
        // Bytes outside the lead set stay single: A0-DF are one byte each.
        {"\xA0\\\xDF.x", {"", "\xA0\\", "\xDF", ".x"}},
    };
    for (const Case& c : cases) EXPECT_EQ(DoSplit(c.path), c.expected) << "path " << c.path;
}

TEST_F(SplitPathTest, SingleByteCodePageTreatsTheSameBytesAsSeparators) {
    EXPECT_EQ(DoSplit("\x95\\x.txt"), (Split{"", "\x95\\", "x", ".txt"}));
    EXPECT_EQ(DoSplit("a\x81.b"), (Split{"", "", "a\x81", ".b"}));
}

TEST_F(SplitPathTest, CutNeverSplitsADoubleByteCharacter) {
    UseDoubleByteCodePage();
    const std::string kanji = "\x88\x9F";
    const Case cases[] = {
        // The character would take bytes 255 and 256: the component stops at 254.
        {std::string(254, 'a') + kanji, {"", "", std::string(254, 'a'), ""}},
        // It fits exactly as bytes 254 and 255.
        {std::string(253, 'a') + kanji + "bb", {"", "", std::string(253, 'a') + kanji, ""}},
        // Its second byte lies in the lead range, yet it is a second byte.
        {std::string(253, 'a') + "\x81\x81", {"", "", std::string(253, 'a') + "\x81\x81", ""}},
        {std::string(254, 'a') + "\x81\x81", {"", "", std::string(254, 'a'), ""}},
        // A run of lead bytes pairs up: after an even run the '\\' is a
        // separator, after an odd run it is the second byte of a character.
        {std::string(200, '\x95') + "\\n", {"", std::string(200, '\x95') + "\\", "n", ""}},
        {std::string(201, '\x95') + "\\n", {"", "", std::string(201, '\x95') + "\\n", ""}},
        // Double-byte characters all the way: 127 of them fit, 254 bytes.
        {[] {
             std::string s;
             for (int i = 0; i < 150; ++i) s += "\x88\x9F";
             return s + ".ext";
         }(),
         {"", "", [] {
              std::string s;
              for (int i = 0; i < 127; ++i) s += "\x88\x9F";
              return s;
          }(),
          ".ext"}},
        // The directory is cut the same way; the name part is unaffected.
        {std::string(254, 'd') + "\x95\\" + "\\name.x", {"", std::string(254, 'd'), "name", ".x"}},
        {"x." + std::string(253, 'e') + kanji, {"", "", "x", "." + std::string(253, 'e')}},
    };
    for (const Case& c : cases) EXPECT_EQ(DoSplit(c.path), c.expected) << "path of " << c.path.size();
}

}  // namespace
