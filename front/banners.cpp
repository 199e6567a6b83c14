#include "front/options.h"

const char NtBanner[] = "Taskreap W32 1.2 (NT)";
const char Win9xBanner[] = "Taskreap W32 1.2 (W95+W98)";
