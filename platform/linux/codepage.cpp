// The ANSI code page of the Linux seam is UTF-8: it has no lead bytes.
#include "platform/linux/unicode.h"
#include "platform/win32.h"

UINT GetACP() { return CP_UTF8; }

BOOL IsDBCSLeadByte(BYTE) { return FALSE; }

int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideCount, char* bytes,
                        int byteCount, const char* defaultChar, BOOL* usedDefaultChar) {
    if ((codePage != CP_ACP && codePage != CP_UTF8) || flags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (usedDefaultChar != nullptr) *usedDefaultChar = FALSE;
    (void)defaultChar;  // every UTF-16 text that converts at all has a UTF-8 form
    return ConvertUtf16ToUtf8(wide, wideCount, bytes, byteCount);
}

int lstrcmpiA(const char* a, const char* b) { return CompareIgnoringCase(a, b); }
