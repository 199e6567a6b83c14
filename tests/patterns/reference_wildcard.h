// The plain recursive matcher: every star tries every split of the rest of
// the text, nothing is remembered between tries. Exponential in the number
// of stars; the pattern tests and the differential fuzz target compare the
// fast MatchWildcard with it on short inputs.
#pragma once

inline unsigned char FoldForReference(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

inline int ReferenceMatch(const char* pattern, const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pattern);
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
    while (*p != '\0') {
        if (*t == '\0' && *p != '*') return 0;
        if (*p == '*') {
            ++p;
            for (const unsigned char* from = t;; ++from) {
                if (ReferenceMatch(reinterpret_cast<const char*>(p),
                                   reinterpret_cast<const char*>(from)))
                    return 1;
                if (*from == '\0') return 0;
            }
        }
        if (*p == '?') {
            ++p;
            ++t;
            continue;
        }
        if (FoldForReference(*p) != FoldForReference(*t)) return 0;
        ++p;
        ++t;
    }
    return *t == '\0' ? 1 : 0;
}
