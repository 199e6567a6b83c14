// The wildcard matcher, differential: MatchWildcard against the plain
// recursive transcription of the matching rules, on inputs short enough for
// the latter (its running time grows with the text length to the power of
// the number of stars). The input is the pattern, a NUL, then the text; any
// disagreement aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "patterns/name_pattern.h"
#include "tests/patterns/reference_wildcard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string input(reinterpret_cast<const char*>(bytes), size);
    const size_t cut = input.find('\0');
    std::string pattern = input.substr(0, cut);
    std::string text = cut == std::string::npos ? std::string() : input.substr(cut + 1);
    text = text.substr(0, text.find('\0'));
    size_t stars = 0;
    for (char c : pattern) stars += c == '*';
    if (pattern.size() > 24 || text.size() > 32 || stars > 4) return 0;

    const int fast = MatchWildcard(pattern.c_str(), text.c_str());
    const int reference = ReferenceMatch(pattern.c_str(), text.c_str());
    if (fast != reference) {
        std::fprintf(stderr, "MatchWildcard(\"%s\", \"%s\") = %d, reference %d\n", pattern.c_str(),
                     text.c_str(), fast, reference);
        std::abort();
    }
    return 0;
}
