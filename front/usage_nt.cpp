#include <iostream>

#include "front/switches.h"
#include "platform/win32.h"

void ShowUsage(const char* message) {
    std::cout << NtBanner << " by Velmorant" << std::endl;
    std::cout << std::endl;
    if (message != nullptr) {
        std::cout << "Error: " << message << std::endl;
        std::cout << std::endl;
    }
    std::cout << "Usage: taskreap [/a] [/l] [/v] {/n<ProcName> | /p[$]<PID>}" << std::endl;
    std::cout << "       taskreap /l [/v]" << std::endl;
    std::cout << std::endl;
    std::cout << "\t/a\tKill all Processes of Name <ProcName>" << std::endl;
    std::cout << "\t/l\tJust list Processes, don't kill any" << std::endl;
    std::cout << "\t/v\tShow Window Titles too" << std::endl;
    std::cout << std::endl;
    std::cout << "Wildcards * and ? in <ProcName> are allowed. Caution!" << std::endl;
    ExitProcess(kExitError);
}
