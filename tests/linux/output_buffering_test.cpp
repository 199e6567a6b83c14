// Standard output of the built executables when a run terminates itself in
// the middle of a row: the beginning of that row must already be on the
// stream, with every line before it, byte for byte.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/linux/linux_children.h"

namespace {

namespace fs = std::filesystem;

// A copy of an executable under a name that no other process has.
struct OwnNamedCopy {
    fs::path dir;
    fs::path exe;
    std::string name;
};

OwnNamedCopy CopyUnderOwnName(const char* source, const std::string& prefix) {
    OwnNamedCopy copy;
    char pattern[] = "/tmp/taskreap-selfXXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) return copy;
    copy.dir = made;
    copy.name = prefix + std::to_string(getpid());
    copy.exe = copy.dir / copy.name;
    fs::copy_file(source, copy.exe);
    fs::permissions(copy.exe, fs::perms::owner_all);
    return copy;
}

struct SelfRunCase {
    const char* exe;
    const char* prefix;
    const char* header;      // the last header line, with its line end
    const char* rowBegin;    // how the row of the selected process begins
    bool fullPath;           // the row names the executable by its path
};

TEST(LinuxOutput, SelfTerminationKeepsTheBeginningOfItsRow) {
    const SelfRunCase cases[] = {
        {TASKREAP_EXE, "trsn", "------- --- ------------- ------- ------- ------>\n", " $", false},
        {TASKREAP95_EXE, "trs9", "   ID        ID       Name\n\n", "$", true},
    };
    for (const SelfRunCase& c : cases) {
        SCOPED_TRACE(c.exe);
        OwnNamedCopy copy = CopyUnderOwnName(c.exe, c.prefix);
        ASSERT_FALSE(copy.exe.empty());
        const CommandResult run = RunCommand({copy.exe.string(), "/n" + copy.name});
        fs::remove_all(copy.dir);

        ASSERT_TRUE(WIFEXITED(run.status));
        EXPECT_EQ(WEXITSTATUS(run.status), 255) << "the terminated process ends with 0xFFFF";
        const std::string& out = run.output;
        const size_t header = out.find(c.header);
        ASSERT_NE(header, std::string::npos) << out;
        const std::string row = out.substr(header + std::string(c.header).size());
        EXPECT_EQ(row.rfind(c.rowBegin, 0), 0u) << row;
        EXPECT_EQ(row.find('\n'), std::string::npos) << "the row stops where the run ended: " << row;
        const std::string name = c.fullPath ? " " + copy.exe.string() : " " + copy.name + ".exe";
        ASSERT_GE(row.size(), name.size());
        EXPECT_EQ(row.substr(row.size() - name.size()), name) << row;
    }
}

}  // namespace
