// The switch parser and SplitPath over arbitrary argument vectors. The
// first input byte picks the back end's letter set and whether the ANSI
// code page has lead bytes; the rest, split at NUL bytes, is the argument
// vector after the program's name. A switch error ends the run through the
// usage screen and ExitProcess: here ExitProcess throws, and the target
// catches it, so that every input runs in-process.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "front/switches.h"
#include "patterns/name_pattern.h"
#include "platform/win32.h"

namespace {

struct ProcessEnded {
    UINT code;
};

bool leadBytes = false;

// Lead bytes of a Shift-JIS-like code page.
bool IsLead(BYTE b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

bool Terminated(const char* buffer, size_t capacity) { return std::memchr(buffer, '\0', capacity) != nullptr; }

// Every component is terminated inside its buffer; when no component needed
// cutting, the four of them put together give the path back.
void CheckSplit(const std::string& path) {
    NamePattern p;
    std::memset(&p, 0x5A, sizeof p);
    SplitPath(path.c_str(), p.Drive, p.Directory, p.BaseName, p.Extension);
    if (!Terminated(p.Drive, sizeof p.Drive) || !Terminated(p.Directory, sizeof p.Directory) ||
        !Terminated(p.BaseName, sizeof p.BaseName) || !Terminated(p.Extension, sizeof p.Extension))
        std::abort();
    const size_t dir = std::strlen(p.Directory), base = std::strlen(p.BaseName), ext = std::strlen(p.Extension);
    if (dir < 254 && base < 254 && ext < 254) {
        const std::string joined = std::string(p.Drive) + p.Directory + p.BaseName + p.Extension;
        if (joined != path.substr(0, path.find('\0'))) std::abort();
    }
    if (std::strchr(p.BaseName, '/') != nullptr && !leadBytes) std::abort();
    if (std::strchr(p.Extension, '/') != nullptr && !leadBytes) std::abort();
    if (p.Extension[0] != '\0' && p.Extension[0] != '.') std::abort();
}

// /p's number against sscanf itself, wherever sscanf's reading is defined
// and the value fits in 32 bits.
void CheckPid(const std::string& text, bool hex) {
    const char* p = text.c_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    if (*p == '-') return;  // refused on purpose: a negative PID
    const char* q = (*p == '+') ? p + 1 : p;
    if (hex && q[0] == '0' && (q[1] == 'x' || q[1] == 'X')) {
        const char c = q[2];
        const bool digit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!digit) return;  // "0x" without digits: no number here
    }
    unsigned long long expected = 0;
    const int fields = std::sscanf(text.c_str(), hex ? "%llX" : "%llu", &expected);
    uint32_t pid = 0xDEADBEEF;
    const int got = ReadPidText(text.c_str(), hex, pid);
    if (fields != 1) {
        if (got != 0) std::abort();
        return;
    }
    if (expected > 0xFFFFFFFFull) {
        if (got != 0) std::abort();
        return;
    }
    if (got != 1 || pid != expected) std::abort();
}

}  // namespace

void ExitProcess(UINT exitCode) {
    std::fflush(stdout);
    throw ProcessEnded{exitCode};
}

UINT GetACP() { return leadBytes ? 932 : 1252; }

BOOL IsDBCSLeadByte(BYTE byte) { return leadBytes && IsLead(byte) ? TRUE : FALSE; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The usage screens would fill the log.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0) return 0;
    const SwitchSet set = (bytes[0] & 1) ? SwitchSet::Win9x : SwitchSet::Nt;
    leadBytes = (bytes[0] & 2) != 0;

    std::vector<std::string> args{"taskreap"};
    std::string current;
    for (size_t i = 1; i < size && args.size() < 64; ++i) {
        if (bytes[i] == 0) {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(bytes[i]));
        }
    }
    if (size > 1 && args.size() < 64) args.push_back(current);
    // Each argument in a buffer of its own exact size.
    std::vector<std::vector<char>> storage;
    std::vector<char*> argv;
    for (const std::string& a : args) {
        storage.emplace_back(a.begin(), a.end());
        storage.back().push_back('\0');
    }
    for (auto& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);

    for (size_t i = 1; i < args.size(); ++i) {
        CheckSplit(args[i]);
        if (args[i].size() >= 2) CheckPid(args[i].substr(2), false);
        if (args[i].size() >= 3) CheckPid(args[i].substr(3), true);
    }

    CommandOptions options;
    try {
        ParseSwitches(static_cast<int>(args.size()), argv.data(), set, options);
    } catch (const ProcessEnded& ended) {
        if (ended.code != 0xFFFF) std::abort();
        return 0;
    }
    // Accepted: exactly one of /n and /p, or /l alone.
    if (options.NameGiven && options.PidGiven) std::abort();
    if (!options.NameGiven && !options.PidGiven && !options.ListOnly) std::abort();
    if (set == SwitchSet::Nt && options.KillParent) std::abort();
    if (options.NameGiven && options.Pattern.BaseName[0] == '\0') std::abort();
    return 0;
}
