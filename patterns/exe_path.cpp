#include "patterns/name_pattern.h"

namespace {
NamePattern ExePathScratch;  // the Windows 95/98 matcher's split of the candidate
}

int MatchExePath(const char* exePath, const NamePattern& pattern) {
    NamePattern& c = ExePathScratch;
    SplitPath(exePath, c.Drive, c.Directory, c.BaseName, c.Extension);
    return MatchSplitCandidate(c, pattern);
}
