// The perflib title list of the Linux seam: the platform's standard indices
// of the Process object, its counters and a few of their neighbours.
#include "platform/linux/perf_block.h"

std::string_view PerflibCountersList() {
    static constexpr char kList[] =
        "2\0System\0"
        "4\0Memory\0"
        "6\0% Processor Time\0"
        "10\0File Read Operations/sec\0"
        "12\0File Write Operations/sec\0"
        "28\0Page Faults/sec\0"
        "142\0% User Time\0"
        "144\0% Privileged Time\0"
        "172\0Virtual Bytes Peak\0"
        "174\0Virtual Bytes\0"
        "178\0Working Set Peak\0"
        "180\0Working Set\0"
        "182\0Page File Bytes Peak\0"
        "184\0Page File Bytes\0"
        "186\0Private Bytes\0"
        "230\0Process\0"
        "232\0Thread\0"
        "238\0Processor\0"
        "680\0Thread Count\0"
        "682\0Priority Base\0"
        "684\0Elapsed Time\0"
        "784\0ID Process\0"
        "\0";
    // The literal's own terminator follows the list's final empty string.
    return std::string_view(kList, sizeof kList - 1);
}
