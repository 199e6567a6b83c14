// The printed pieces of a Windows 95/98 listing.
#pragma once
#include "platform/win32.h"

// "<banner> is running with Windows Version <major>.<minor>" and an empty
// line, from the result of GetVersion.
void PrintBannerLine95(DWORD versionWord);

// The two header lines and the empty line after them, short or verbose.
void PrintHeader95(bool verbose);

// A row of the list-all mode, with the bitness column when verbose, ended
// by a line feed.
void PrintFullRow95(const PROCESSENTRY32& entry, bool verbose);

// A row of a selected process, without the bitness column and without its
// end: the caller ends it, with a line feed or the termination outcome.
void PrintSelectedRow95(const PROCESSENTRY32& entry, bool verbose);
