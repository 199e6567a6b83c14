// placeholder until the 95/98 back end lands
#include "win9x/main95.h"
#include "platform/win32.h"
void main95(int, char**) { ExitProcess(0xFFFF); }
