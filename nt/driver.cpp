// placeholder until the NT back end lands
#include "nt/nt_driver.h"
#include "platform/win32.h"
CommandOptions NtOptions;
void RunNtDriver(const CommandOptions&) { ExitProcess(0xFFFF); }
