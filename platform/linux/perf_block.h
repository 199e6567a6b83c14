// The performance data of the Linux seam: the perflib "Counters" list and
// the data block of the Process object, built from one pass over /proc.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/win32.h"

// Title indices of the Process object and of the counters it carries; the
// help text of each title has the index after it.
constexpr DWORD kProcessObjectIndex = 230;
constexpr DWORD kProcessorTimeIndex = 6;
constexpr DWORD kWorkingSetIndex = 180;
constexpr DWORD kPrivateBytesIndex = 186;
constexpr DWORD kThreadCountIndex = 680;
constexpr DWORD kIdProcessIndex = 784;

// The REG_MULTI_SZ value "Counters": index and title texts, each ended by
// a NUL, the list ended by an empty string.
std::string_view PerflibCountersList();

// Where each counter lies in an instance's counter block, and the block's
// size (a multiple of 8, so every instance stays 8-byte aligned).
constexpr DWORD kIdProcessOffset = 4;
constexpr DWORD kProcessorTimeOffset = 8;
constexpr DWORD kWorkingSetOffset = 16;
constexpr DWORD kPrivateBytesOffset = 24;
constexpr DWORD kThreadCountOffset = 32;
constexpr DWORD kCounterBlockLength = 40;

// A PERF_DATA_BLOCK with the Process object and one instance per process
// that could be read (a process that vanished during the scan is left
// out). Begins a new snapshot of start times and notes every listed
// process in it. With `withProcess` false the block holds no object.
std::vector<BYTE> BuildPerfDataBlock(bool withProcess);
