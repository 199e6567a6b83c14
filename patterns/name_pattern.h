// Path-like name patterns: the split into drive, directory, base name and
// extension, the `*`/`?` matcher of one component, and the two name
// matchers of the back ends.
#pragma once

struct NamePattern {
    char Drive[3];
    char Directory[256];
    char BaseName[256];
    char Extension[256];
};

// Splits `path` into the four components; all four are always written.
// Drive receives at most 2 bytes, the others at most 255, each terminated.
void SplitPath(const char* path, char* drive, char* dir, char* base, char* ext);

// 1 when the whole `text` matches the whole `pattern` (`*` any run of bytes,
// `?` exactly one byte, a-z compared as A-Z), else 0. Time grows with the
// product of the two lengths at worst.
int MatchWildcard(const char* pattern, const char* text);

// The NT matcher, for a task's ProcessName; uses a scratch record of its own.
int MatchTaskName(const char* name, const NamePattern& pattern);

// The Windows 95/98 matcher, for a full executable path; its own scratch too.
int MatchExePath(const char* exePath, const NamePattern& pattern);

// Compares an already split candidate with the pattern, component by
// component: drive, directory, extension, then base name.
int MatchSplitCandidate(const NamePattern& candidate, const NamePattern& pattern);
