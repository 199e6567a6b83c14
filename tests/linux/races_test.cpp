// Races and permissions on the real kernel: a PID reused after the Toolhelp
// snapshot, listing and killing by pattern while children come and go, and
// an unprivileged account that meets another user's processes. Every process
// a test targets is one it started; the killing runs happen inside a private
// PID namespace, or under a name no other process has.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <deque>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <thread>

#include "linux_children.h"
#include "platform/linux/procfs.h"
#include "platform/win32.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The 8-bit status a shell sees for a count.
int StatusOfCount(size_t n) { return n > 254 ? 254 : static_cast<int>(n); }

// The rows of an NT listing: everything after the banner, the empty line and
// the three header lines.
std::vector<std::string> NtRows(const std::string& output) {
    std::vector<std::string> lines = Lines(output);
    if (lines.size() < 5) return {};
    return std::vector<std::string>(lines.begin() + 5, lines.end());
}

// The rows of a 95/98 listing: after the banner, an empty line, two header
// lines and an empty line, up to the empty line before the summary.
std::vector<std::string> Rows95(const std::string& output, std::string& summary) {
    std::vector<std::string> lines = Lines(output);
    std::vector<std::string> rows;
    for (size_t i = 5; i < lines.size() && !lines[i].empty(); ++i) rows.push_back(lines[i]);
    summary = lines.empty() ? "" : lines.back();
    return rows;
}

const std::regex kOutcome(R"(( \.\.\. killed| not killed: Invalid PID: \$?[0-9A-F]{4,} !| not killed: TerminateProcess\(\): rc = \$[0-9A-F]+ !))");
const std::regex kNtRow(R"( \$[0-9A-F]{4,}  [0-9]{3,} [ 0-9]{3,}:[0-9]{2}:[0-9]{2}\.[0-9]{3} [ 0-9]{7,} [ 0-9]{7,} .{0,15})");
const std::regex kRow95(R"(\$[0-9A-F]{8} \$[0-9A-F]{8} .+)");

bool RowMatches(const std::string& row, const std::regex& shape, bool killing) {
    std::smatch m;
    if (!killing) return std::regex_match(row, shape);
    for (const char* end : {" ... killed", " not killed: "}) {
        size_t at = row.rfind(end);
        if (at == std::string::npos) continue;
        return std::regex_match(row.substr(0, at), shape) && std::regex_match(row.substr(at), kOutcome);
    }
    return false;
}

bool DiedOfSigkill(int status) { return status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL; }

pid_t StartPlainSleep() {
    pid_t pid = fork();
    if (pid == 0) {
        execl("/usr/bin/sleep", "sleep", "1000", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

pid_t StartNamedFast(const char* name) {
    pid_t pid = fork();
    if (pid == 0) {
        execl(NAMED_SLEEPER_EXE, NAMED_SLEEPER_EXE, name, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Starts `total` children, at most `live` at a time, alternating a named
// sleeper called "churnvic" (inside the kill pattern) and a plain sleep
// (outside it); each is ended with SIGTERM when its turn comes, so that a
// SIGKILL in its status can only come from the program under test.
struct Churn {
    std::atomic<bool> stop{false};
    std::atomic<int> started{0};
    std::atomic<int> outsideKilled{0};  // plain sleeps that died of SIGKILL: must stay 0
    std::atomic<int> insideKilled{0};
    std::thread thread;

    void Run(int total, size_t live) {
        thread = std::thread([this, total, live] {
            std::deque<std::pair<pid_t, bool>> children;  // pid, inside the pattern
            auto endOldest = [&] {
                auto [pid, inside] = children.front();
                children.pop_front();
                kill(pid, SIGTERM);
                int status = 0;
                waitpid(pid, &status, 0);
                if (DiedOfSigkill(status)) (inside ? insideKilled : outsideKilled)++;
            };
            for (int i = 0; i < total && !stop; ++i) {
                const bool inside = i % 2 == 0;
                pid_t pid = inside ? StartNamedFast("churnvic") : StartPlainSleep();
                if (pid > 0) {
                    children.emplace_back(pid, inside);
                    ++started;
                }
                if (children.size() >= live) endOldest();
                usleep(2000);
            }
            while (!children.empty()) endOldest();
        });
    }
    void Join() {
        if (thread.joinable()) thread.join();
    }
};

// Runs inside a new PID namespace.
TEST(InPidNamespace, DISABLED_ToolhelpNeverOpensALaterProcessUnderAListedPid) {
    pid_t listed = StartSleeper("reuse95first");
    ASSERT_GT(listed, 0);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool seen = false;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        seen = seen || entry.th32ProcessID == static_cast<DWORD>(listed);
    EXPECT_TRUE(seen) << "the snapshot lists the first child";
    KillAndReap(listed);
    {
        std::ofstream last("/proc/sys/kernel/ns_last_pid");
        last << (listed - 1);
    }
    pid_t later = StartSleeper("reuse95second");
    ASSERT_GT(later, 0);
    if (later != listed) {
        KillAndReap(later);
        CloseHandle(snapshot);
        GTEST_SKIP() << "the PID could not be reused here";
    }
    SetLastError(0);
    EXPECT_EQ(OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(later)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    usleep(20000);
    EXPECT_TRUE(IsRunning(later)) << "the later process survives";
    CloseHandle(snapshot);
    KillAndReap(later);
}

// Runs inside a new PID namespace: lists and kills by pattern with both
// programs while 200 children are started and stopped around them.
TEST(InPidNamespace, DISABLED_ListAndKillByPatternUnderChurn) {
    std::vector<pid_t> bystanders;
    for (int i = 0; i < 5; ++i) bystanders.push_back(StartPlainSleep());
    const auto begin = std::chrono::steady_clock::now();
    Churn churn;
    churn.Run(200, 16);
    size_t listRows = 0, listRows95 = 0, killRows = 0, killRows95 = 0, killed = 0;
    int rounds = 0;
    while (churn.started < 200 && rounds < 50) {
        ++rounds;
        // Victims that exist before each snapshot: they must end.
        std::vector<pid_t> victims;
        for (int i = 0; i < 3; ++i) victims.push_back(StartSleeper("churnvic"));

        CommandResult list = RunCommand({TASKREAP_EXE, "/l"});
        ASSERT_TRUE(WIFEXITED(list.status)) << list.output;
        std::vector<std::string> rows = NtRows(list.output);
        for (const std::string& row : rows) EXPECT_TRUE(RowMatches(row, kNtRow, false)) << "[" << row << "]";
        EXPECT_EQ(WEXITSTATUS(list.status), StatusOfCount(rows.size()));
        listRows += rows.size();

        std::string summary;
        CommandResult list95 = RunCommand({TASKREAP95_EXE, "/l"});
        ASSERT_TRUE(WIFEXITED(list95.status)) << list95.output;
        rows = Rows95(list95.output, summary);
        for (const std::string& row : rows) EXPECT_TRUE(RowMatches(row, kRow95, false)) << "[" << row << "]";
        EXPECT_EQ(WEXITSTATUS(list95.status), StatusOfCount(rows.size()));
        EXPECT_EQ(summary, std::to_string(rows.size()) + " Processes found.");
        listRows95 += rows.size();

        const bool nt = rounds % 2 == 1;
        CommandResult kill = nt ? RunCommand({TASKREAP_EXE, "/a", "/nchurnvic"})
                                : RunCommand({TASKREAP95_EXE, "/a", "/n*named_sleeper"});
        ASSERT_TRUE(WIFEXITED(kill.status)) << kill.output;
        rows = nt ? NtRows(kill.output) : Rows95(kill.output, summary);
        for (const std::string& row : rows) {
            EXPECT_TRUE(RowMatches(row, nt ? kNtRow : kRow95, true)) << "[" << row << "]";
            EXPECT_NE(row.find(nt ? "churnvic" : "named_sleeper"), std::string::npos) << row;
            killed += row.find(" ... killed") != std::string::npos;
        }
        EXPECT_GE(rows.size(), victims.size()) << kill.output;
        EXPECT_EQ(WEXITSTATUS(kill.status), StatusOfCount(rows.size())) << kill.output;
        (nt ? killRows : killRows95) += rows.size();
        for (pid_t victim : victims) {
            int status = ReapWithin(victim, 5000);
            EXPECT_TRUE(DiedOfSigkill(status)) << "victim " << victim << " status " << status;
            if (status == -1) KillAndReap(victim);
        }
    }
    churn.stop = true;
    churn.Join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_EQ(churn.outsideKilled.load(), 0) << "a process outside the pattern was killed";
    for (pid_t b : bystanders) {
        EXPECT_TRUE(IsRunning(b)) << "bystander " << b;
        KillAndReap(b);
    }
    std::cout << "churn: " << churn.started << " children started and stopped, " << rounds
              << " rounds; /l rows " << listRows << " (taskreap) and " << listRows95
              << " (taskreap95); kill rows " << killRows << " (taskreap) and " << killRows95
              << " (taskreap95), " << killed << " killed (" << churn.insideKilled
              << " of them churned children); " << seconds << " s" << std::endl;
}

TEST(InPidNamespaceRun, ReusedPidOfToolhelpAndChurn) {
    if (PidNamespacePrefix().empty()) GTEST_SKIP() << "no PID namespaces here";
    for (const char* name : {"InPidNamespace.DISABLED_ToolhelpNeverOpensALaterProcessUnderAListedPid",
                             "InPidNamespace.DISABLED_ListAndKillByPatternUnderChurn"}) {
        std::string log;
        EXPECT_TRUE(RunTestInPidNamespace(name, log)) << log;
        if (std::string(name).find("Churn") != std::string::npos) {
            size_t at = log.find("churn: ");
            if (at != std::string::npos) std::cout << log.substr(at, log.find('\n', at) - at) << std::endl;
        }
    }
}

// An unprivileged account: /l lists every process it can see, also those
// whose files it cannot read, and /a over a root-owned and an own process
// reports rc = $5 for the one and kills the other.
TEST(Unprivileged, ListsEverythingAndGoesOnAfterARefusedTermination) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to start processes of two accounts";
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "no setpriv";
    const std::vector<std::string> asNobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                               "--clear-groups"};
    auto run = [&](std::vector<std::string> args) {
        std::vector<std::string> command = asNobody;
        command.insert(command.end(), args.begin(), args.end());
        return RunCommand(command);
    };
    CommandResult probe = run({TASKREAP_EXE, "/l"});
    if (!WIFEXITED(probe.status) || probe.output.find("Taskreap W32") == std::string::npos)
        GTEST_SKIP() << "the account cannot run the built program here: " << probe.output;

    pid_t rootOwned = StartSleeper("permvictim");
    ASSERT_GT(rootOwned, 0);
    pid_t own = fork();
    if (own == 0) {
        if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(126);
        execl(NAMED_SLEEPER_EXE, NAMED_SLEEPER_EXE, "permvictim", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(own, 0);
    for (int i = 0; i < 200 && ReadFileText("/proc/" + std::to_string(own) + "/comm") != "permvictim\n"; ++i)
        usleep(5000);

    for (const char* exe : {TASKREAP_EXE, TASKREAP95_EXE}) {
        SCOPED_TRACE(exe);
        CommandResult list = run({exe, "/l"});
        ASSERT_TRUE(WIFEXITED(list.status)) << list.output;
        const bool nt = std::string(exe) == TASKREAP_EXE;
        std::string summary;
        std::vector<std::string> rows = nt ? NtRows(list.output) : Rows95(list.output, summary);
        EXPECT_EQ(WEXITSTATUS(list.status), StatusOfCount(rows.size()));
        for (pid_t pid : {rootOwned, own, static_cast<pid_t>(1)}) {
            char id[16];
            std::snprintf(id, sizeof id, nt ? " $%04X " : "$%08X ", static_cast<unsigned>(pid));
            bool found = false;
            for (const std::string& row : rows) found = found || row.rfind(id, 0) == 0;
            EXPECT_TRUE(found) << "PID " << pid << " is listed\n" << list.output;
        }
    }

    CommandResult kill = run({TASKREAP_EXE, "/a", "/npermvictim"});
    ASSERT_TRUE(WIFEXITED(kill.status)) << kill.output;
    std::vector<std::string> rows = NtRows(kill.output);
    ASSERT_EQ(rows.size(), 2u) << kill.output;
    EXPECT_EQ(WEXITSTATUS(kill.status), 2) << kill.output;
    char rootId[16], ownId[16];
    std::snprintf(rootId, sizeof rootId, " $%04X ", static_cast<unsigned>(rootOwned));
    std::snprintf(ownId, sizeof ownId, " $%04X ", static_cast<unsigned>(own));
    for (const std::string& row : rows) {
        if (row.rfind(rootId, 0) == 0) {
            EXPECT_NE(row.find(" not killed: TerminateProcess(): rc = $5 !"), std::string::npos) << row;
        } else {
            EXPECT_EQ(row.rfind(ownId, 0), 0u) << row;
            EXPECT_NE(row.find(" ... killed"), std::string::npos) << row;
        }
    }
    EXPECT_TRUE(DiedOfSigkill(ReapWithin(own, 5000))) << "the own process is killed, whatever the row order";
    EXPECT_TRUE(IsRunning(rootOwned)) << "the root-owned process survives";
    KillAndReap(rootOwned);
    KillAndReap(own);
}

}  // namespace
