// Termination of one selected process on Windows 95/98.
#pragma once
#include "platform/win32.h"

// Terminates process `pid` with exit code 0xFFFF and prints the end of its
// row: " ... killed" or why it was not killed, then a line feed.
void TerminatePid95(DWORD pid);
