#include "patterns/name_pattern.h"

namespace {

unsigned char Fold(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'a' && b <= 'z') ? static_cast<unsigned char>(b - 'a' + 'A') : b;
}

}  // namespace

// Greedy matching with one remembered star: when a later comparison fails,
// only the most recent `*` needs to take one more byte, since anything an
// earlier star could absorb the later one can absorb as well. This gives the
// results of trying every split at every star, in at most
// pattern length times text length steps.
int MatchWildcard(const char* pattern, const char* text) {
    const char* p = pattern;
    const char* t = text;
    const char* starPattern = nullptr;  // just after the last `*` seen
    const char* starText = nullptr;     // where that star's run ends so far
    while (*t != '\0') {
        if (*p == '*') {
            starPattern = ++p;
            starText = t;
        } else if (*p != '\0' && (*p == '?' || Fold(*p) == Fold(*t))) {
            ++p;
            ++t;
        } else if (starPattern != nullptr) {
            p = starPattern;
            t = ++starText;
        } else {
            return 0;
        }
    }
    while (*p == '*') ++p;
    return *p == '\0' ? 1 : 0;
}
