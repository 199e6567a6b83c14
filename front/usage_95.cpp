#include <cstdio>

#include "front/switches.h"
#include "platform/win32.h"

void ShowUsage95(const char* message) {
    std::printf("%s by Velmorant\n\n", Win9xBanner);
    if (message != nullptr) std::printf("Error: %s\n\n", message);
    std::printf("Usage: taskreap [/a] [/d] [/l] [/v] {/n<ProcName> | /p[$]<PID>}\n");
    std::printf("       taskreap /l [/v]\n\n");
    std::printf("\t/a\tKill all Processes of Name <ProcName>\n");
    std::printf("\t/d\tKill Dad too\n");
    std::printf("\t/v\tVerbose\n");
    std::printf("\t/l\tJust list Processes, don't kill any\n\n");
    std::printf("Wildcards * and ? in <ProcName> are allowed. Caution !\n");
    ExitProcess(kExitError);
}
