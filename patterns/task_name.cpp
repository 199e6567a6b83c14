#include "patterns/name_pattern.h"

namespace {
NamePattern TaskNameScratch;  // the NT matcher's split of the candidate
}

int MatchTaskName(const char* name, const NamePattern& pattern) {
    NamePattern& c = TaskNameScratch;
    SplitPath(name, c.Drive, c.Directory, c.BaseName, c.Extension);
    return MatchSplitCandidate(c, pattern);
}
