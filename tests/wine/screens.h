// The usage screens of the two back ends as the program writes them, with
// line feeds; Crlf() turns them into what a Windows console receives.
#pragma once
#include <string>

inline std::string NtUsage(const char* message) {
    std::string s = "Taskreap W32 1.2 (NT) by Velmorant\n\n";
    if (message != nullptr) s += std::string("Error: ") + message + "\n\n";
    return s +
           "Usage: taskreap [/a] [/l] [/v] {/n<ProcName> | /p[$]<PID>}\n"
           "       taskreap /l [/v]\n\n"
           "\t/a\tKill all Processes of Name <ProcName>\n"
           "\t/l\tJust list Processes, don't kill any\n"
           "\t/v\tShow Window Titles too\n\n"
           "Wildcards * and ? in <ProcName> are allowed. Caution!\n";
}

inline std::string Win9xUsage(const char* message) {
    std::string s = "Taskreap W32 1.2 (W95+W98) by Velmorant\n\n";
    if (message != nullptr) s += std::string("Error: ") + message + "\n\n";
    return s +
           "Usage: taskreap [/a] [/d] [/l] [/v] {/n<ProcName> | /p[$]<PID>}\n"
           "       taskreap /l [/v]\n\n"
           "\t/a\tKill all Processes of Name <ProcName>\n"
           "\t/d\tKill Dad too\n"
           "\t/v\tVerbose\n"
           "\t/l\tJust list Processes, don't kill any\n\n"
           "Wildcards * and ? in <ProcName> are allowed. Caution !\n";
}
