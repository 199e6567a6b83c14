#include "patterns/name_pattern.h"

int MatchSplitCandidate(const NamePattern& candidate, const NamePattern& pattern) {
    if (pattern.Drive[0] != '\0' && !MatchWildcard(pattern.Drive, candidate.Drive)) return 0;
    if (pattern.Directory[0] != '\0' && !MatchWildcard(pattern.Directory, candidate.Directory))
        return 0;
    if (pattern.Extension[0] != '\0' && !MatchWildcard(pattern.Extension, candidate.Extension))
        return 0;
    return MatchWildcard(pattern.BaseName, candidate.BaseName);
}
