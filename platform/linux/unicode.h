// Text conversions of the Linux seam, shared with the scripted platform of
// the tests: UTF-16 to UTF-8 (the ANSI code page on Linux) and back.
#pragma once
#include <string>
#include <string_view>

#include "platform/win32.h"

// Converts `wide` (count units, or up to and including its NUL when count is
// -1) to UTF-8 into `bytes` of `capacity` bytes, as WideCharToMultiByte does:
// a capacity of 0 asks for the size only. Returns the bytes written (or
// needed), 0 on failure with the reason in the seam's last error: an
// unpaired surrogate (ERROR_NO_UNICODE_TRANSLATION) or a buffer too small
// (ERROR_INSUFFICIENT_BUFFER).
int ConvertUtf16ToUtf8(const WCHAR* wide, int count, char* bytes, int capacity);

// UTF-8 to UTF-16, each byte that is not part of a valid sequence becoming
// U+FFFD. No terminator is added.
std::u16string DecodeUtf8Lossy(std::string_view text);

// lstrcmpiA of the Linux seam: byte order after folding a-z to A-Z.
int CompareIgnoringCase(const char* a, const char* b);
