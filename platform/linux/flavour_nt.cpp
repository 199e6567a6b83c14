#include "platform/linux/flavour.h"

const DWORD SeamPlatformId = VER_PLATFORM_WIN32_NT;
