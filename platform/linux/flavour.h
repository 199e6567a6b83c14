// Which Windows platform the Linux seam reports. Each executable links one
// of the two flavour objects, so taskreap runs the NT driver and taskreap95
// the Windows 95/98 driver from the same program code.
#pragma once
#include "platform/win32.h"

extern const DWORD SeamPlatformId;
