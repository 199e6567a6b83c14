// Shared pieces of the front-end tests: the two usage screens as the user
// sees them, a fixture with a fresh fake machine, and a run of
// ParseSwitches alone that prints the options it accepted.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "front/switches.h"
#include "tests/fake/fake_machine.h"
#include "tests/fake/run_isolated.h"

inline std::string NtScreen(const std::string& error = "") {
    std::string s = "Taskreap W32 1.2 (NT) by Velmorant\n\n";
    if (!error.empty()) s += "Error: " + error + "\n\n";
    s +=
        "Usage: taskreap [/a] [/l] [/v] {/n<ProcName> | /p[$]<PID>}\n"
        "       taskreap /l [/v]\n"
        "\n"
        "\t/a\tKill all Processes of Name <ProcName>\n"
        "\t/l\tJust list Processes, don't kill any\n"
        "\t/v\tShow Window Titles too\n"
        "\n"
        "Wildcards * and ? in <ProcName> are allowed. Caution!\n";
    return s;
}

inline std::string Win9xScreen(const std::string& error = "") {
    std::string s = "Taskreap W32 1.2 (W95+W98) by Velmorant\n\n";
    if (!error.empty()) s += "Error: " + error + "\n\n";
    s +=
        "Usage: taskreap [/a] [/d] [/l] [/v] {/n<ProcName> | /p[$]<PID>}\n"
        "       taskreap /l [/v]\n"
        "\n"
        "\t/a\tKill all Processes of Name <ProcName>\n"
        "\t/d\tKill Dad too\n"
        "\t/v\tVerbose\n"
        "\t/l\tJust list Processes, don't kill any\n"
        "\n"
        "Wildcards * and ? in <ProcName> are allowed. Caution !\n";
    return s;
}

inline const char kNtOnlyLine[] = "Taskreap W32 1.2 (NT) only runs on Windows NT\n";

class FrontTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFake(); }
};

// The accepted options, one line, for comparing with a table of cases.
inline std::string DescribeOptions(const CommandOptions& o) {
    const NamePattern& p = o.Pattern;
    return "a=" + std::to_string(o.KillAll) + " d=" + std::to_string(o.KillParent) +
           " l=" + std::to_string(o.ListOnly) + " v=" + std::to_string(o.Verbose) +
           " n=" + std::to_string(o.NameGiven) + " p=" + std::to_string(o.PidGiven) +
           " pid=" + std::to_string(o.Pid) + " [" + p.Drive + "|" + p.Directory + "|" +
           p.BaseName + "|" + p.Extension + "]";
}

inline const char kAccepted[] = "accepted: ";

// Runs ParseSwitches alone in a child; when it returns, the child prints
// kAccepted and the options.
inline RunResult ParseInChild(SwitchSet set, const std::vector<std::string>& args) {
    return RunIsolated([set, &args] {
        std::vector<std::string> storage{"taskreap"};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& s : storage) argv.push_back(s.data());
        argv.push_back(nullptr);
        CommandOptions options;
        ParseSwitches(static_cast<int>(storage.size()), argv.data(), set, options);
        std::printf("%s%s", kAccepted, DescribeOptions(options).c_str());
    });
}

// Readable names of the arguments for failure messages.
inline std::string ShowArgs(const std::vector<std::string>& args) {
    std::string s = "{";
    for (const auto& a : args) {
        s += " \"";
        for (unsigned char c : a.substr(0, 40)) {
            if (c >= 0x20 && c < 0x7F) {
                s += static_cast<char>(c);
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                s += hex;
            }
        }
        if (a.size() > 40) s += "...(" + std::to_string(a.size()) + " bytes)";
        s += "\"";
    }
    return s + " }";
}
