// The text pieces of the Toolhelp32 snapshots: maps lines, base priorities,
// module identifiers and executable paths.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/linux/toolhelp_fields.h"

namespace {

TEST(BasePriority, FollowsPolicyAndNice) {
    struct Case {
        uint32_t policy;
        int64_t nice;
        LONG priority;
    };
    const Case cases[] = {
        {0, 19, 4},  {0, 10, 4},   {0, 9, 6},    {0, 5, 6},    {0, 1, 6},   {0, 0, 8},
        {0, -1, 10}, {0, -9, 10},  {0, -10, 13}, {0, -20, 13}, {3, 0, 8},   {3, 12, 4},  // SCHED_BATCH
        {1, 0, 24},  {2, 19, 24},  {6, 0, 24},                                          // real time
        {5, 0, 4},   {5, -20, 4},                                                        // SCHED_IDLE
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BasePriorityFor(c.policy, c.nice), c.priority)
            << "policy " << c.policy << " nice " << c.nice;
    }
}

TEST(MapsLine, ParsesTheFields) {
    MapsLine line;
    ASSERT_TRUE(ParseMapsLine(
        "5584e92d5000-5584e92d7000 r--p 00002000 fe:01 247498                     /usr/bin/head\n", line));
    EXPECT_EQ(line.start, 0x5584e92d5000u);
    EXPECT_EQ(line.end, 0x5584e92d7000u);
    EXPECT_EQ(line.offset, 0x2000u);
    EXPECT_EQ(line.devMajor, 0xfeu);
    EXPECT_EQ(line.devMinor, 0x01u);
    EXPECT_EQ(line.inode, 247498u);
    EXPECT_EQ(line.path, "/usr/bin/head");
    EXPECT_TRUE(IsModuleMapping(line));
}

TEST(MapsLine, TableOfLines) {
    struct Case {
        const char* text;
        bool parses;
        const char* path;  // when it parses
        bool module;
    };
    const Case cases[] = {
        {"7f00-7f10 r-xp 00000000 08:02 1234 /lib/x86_64-linux-gnu/libc.so.6", true,
         "/lib/x86_64-linux-gnu/libc.so.6", true},
        {"7f00-7f10 r-xp 00000000 08:02 1234 /opt/my app/bin (x)", true, "/opt/my app/bin (x)", true},
        {"7f00-7f10 r-xp 00000000 08:02 1234 /tmp/gone (deleted)", true, "/tmp/gone (deleted)", true},
        {"7f00-7f10 rw-p 00000000 00:00 0          [heap]", true, "[heap]", false},
        {"7ffd0000-7ffd2000 rw-p 00000000 00:00 0  [stack]", true, "[stack]", false},
        {"7f00-7f10 rw-s 00000000 00:05 77 /dev/zero (deleted)", true, "/dev/zero (deleted)", true},
        {"7f00-7f10 rw-p 00000000 00:00 0", true, "", false},          // anonymous
        {"7f00-7f10 rw-p 00000000 00:00 0 ", true, "", false},
        {"7f00-7f10 r--p 00000000 08:02 0 /memfd-like", true, "/memfd-like", false},  // inode 0
        {"7f00-7f10 r--s 00000000 00:01 5 anon_inode:[io]", true, "anon_inode:[io]", false},
        {"ffffffffff600000-ffffffffff601000 --xp 00000000 00:00 0 [vsyscall]", true, "[vsyscall]", false},
        {"", false, "", false},
        {"\n", false, "", false},
        {"7f00", false, "", false},
        {"7f00-", false, "", false},
        {"7f00-7f10", false, "", false},
        {"7f00-7f10 ", false, "", false},
        {"7f00-7f10 r-x", false, "", false},
        {"7f00-7f10 r-xp", false, "", false},
        {"7f00-7f10 r-xp 00000000", false, "", false},
        {"7f00-7f10 r-xp 00000000 08", false, "", false},
        {"7f00-7f10 r-xp 00000000 08:", false, "", false},
        {"7f00-7f10 r-xp 00000000 08:02", false, "", false},
        {"7f00-7f10 r-xp 00000000 08:02 ", false, "", false},
        {"7f00-7f10 r-xp 00000000 08:02 12x4 /bin/x", false, "", false},
        {"7f00-7f10 r-xp 0000zz00 08:02 1 /bin/x", false, "", false},
        {"7f10-7f00 r-xp 00000000 08:02 1 /bin/x", false, "", false},  // end before start
        {"g000-7f10 r-xp 00000000 08:02 1 /bin/x", false, "", false},
        {"7f00-7f10 r-xp 00000000 123456789:02 1 /bin/x", false, "", false},  // major too large
        {"10000000000000000-10000000000000001 r-xp 0 08:02 1 /x", false, "", false},  // 65 bits
        {"7f00-7f10 r-xp 00000000 08:02 99999999999999999999 /x", false, "", false},   // inode overflow
    };
    for (const Case& c : cases) {
        MapsLine line;
        bool parsed = ParseMapsLine(c.text, line);
        EXPECT_EQ(parsed, c.parses) << '"' << c.text << '"';
        if (!parsed || !c.parses) continue;
        EXPECT_EQ(line.path, c.path) << '"' << c.text << '"';
        EXPECT_EQ(IsModuleMapping(line), c.module) << '"' << c.text << '"';
    }
}

TEST(MapsLine, NeverReadsPastAnUnterminatedView) {
    // Every prefix of a valid line, viewed without a terminator after it
    // (the sanitizer build catches a read past the end).
    const std::string full = "7f00-7f10 r-xp 00000000 08:02 1234 /usr/lib/libz.so.1";
    for (size_t n = 0; n <= full.size(); ++n) {
        std::string copy = full.substr(0, n);
        std::string_view view(copy.data(), n);
        MapsLine line;
        bool parsed = ParseMapsLine(view, line);
        // A prefix parses only once it holds at least one digit of the inode,
        // and the path always lies within the view.
        EXPECT_EQ(parsed, n > full.find("1234")) << n;
        if (parsed) {
            EXPECT_GE(line.path.data(), copy.data()) << n;
            EXPECT_LE(line.path.data() + line.path.size(), copy.data() + n) << n;
        }
    }
}

TEST(ModuleId, SameForStatAndMapsOfOneFile) {
    struct stat file;
    ASSERT_EQ(stat("/proc/self/exe", &file), 0);
    MapsLine line;
    line.devMajor = major(file.st_dev);
    line.devMinor = minor(file.st_dev);
    line.inode = file.st_ino;
    EXPECT_EQ(ModuleIdForMaps(line), ModuleIdFor(file.st_dev, file.st_ino));
}

TEST(ModuleId, NeverZeroAndTellsFilesApart) {
    EXPECT_NE(ModuleIdFor(0, 0), 0u);
    EXPECT_NE(ModuleIdFor(makedev(8, 2), 1), ModuleIdFor(makedev(8, 2), 2));
    EXPECT_NE(ModuleIdFor(makedev(8, 2), 1), ModuleIdFor(makedev(8, 3), 1));
    // Nearby inodes of one device give distinct identifiers.
    std::vector<DWORD> ids;
    for (uint64_t inode = 1; inode <= 4096; ++inode) ids.push_back(ModuleIdFor(makedev(254, 0), inode));
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
    EXPECT_NE(ids.front(), 0u);
}

TEST(ExePath, StripsTheDeletedMarkAndNamesTheFile) {
    EXPECT_EQ(StripDeletedMark("/tmp/a.out (deleted)"), "/tmp/a.out");
    EXPECT_EQ(StripDeletedMark("/tmp/a.out"), "/tmp/a.out");
    EXPECT_EQ(StripDeletedMark(" (deleted)"), " (deleted)");  // nothing would be left
    EXPECT_EQ(StripDeletedMark("/x (deleted) (deleted)"), "/x (deleted)");
    EXPECT_EQ(FileNameOf("/usr/lib/libc.so.6"), "libc.so.6");
    EXPECT_EQ(FileNameOf("plain"), "plain");
    EXPECT_EQ(FileNameOf("/dir/"), "");
}

TEST(ExePath, CopyCutKeepsCapacityMinusOneBytes) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    CopyCut("abcdefghijk", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "abcdefg");
    CopyCut("", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "");
    CopyCut("abc", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "abc");
}

}  // namespace
