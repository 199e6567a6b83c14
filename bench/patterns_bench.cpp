// The wildcard matcher on its hardest shapes, and the path split.
#include <benchmark/benchmark.h>

#include <string>

#include "patterns/name_pattern.h"

namespace {

const std::string k255As(255, 'a');

void MatchOnce(benchmark::State& state, const std::string& pattern, const std::string& text,
               int expected) {
    for (auto _ : state) {
        const int result = MatchWildcard(pattern.c_str(), text.c_str());
        benchmark::DoNotOptimize(result);
        if (result != expected) {
            state.SkipWithError("unexpected result");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}

// Eleven "*a" and a "*b" against 255 'a's: no match, every star in play.
void BM_ManyStarsNoMatch(benchmark::State& state) {
    MatchOnce(state, "*a*a*a*a*a*a*a*a*a*a*a*b", k255As, 0);
}
BENCHMARK(BM_ManyStarsNoMatch);

// The same pattern, matched at the very end.
void BM_ManyStarsMatchAtEnd(benchmark::State& state) {
    MatchOnce(state, "*a*a*a*a*a*a*a*a*a*a*a*b", std::string(254, 'a') + "b", 1);
}
BENCHMARK(BM_ManyStarsMatchAtEnd);

// One star followed by a long literal that fails at its last byte at every
// start: the pattern-times-text bound itself.
void BM_StarLongLiteral(benchmark::State& state) {
    MatchOnce(state, "*" + std::string(127, 'a') + "b", k255As, 0);
}
BENCHMARK(BM_StarLongLiteral);

// The number of stars as the argument, each followed by one 'a', then 'b'.
void BM_StarCount(benchmark::State& state) {
    std::string pattern;
    for (int64_t i = 0; i < state.range(0); ++i) pattern += "*a";
    pattern += "*b";
    MatchOnce(state, pattern, k255As, 0);
}
BENCHMARK(BM_StarCount)->Arg(1)->Arg(4)->Arg(16)->Arg(64)->Arg(127);

// Plain shapes a user types.
void BM_TypicalNames(benchmark::State& state) {
    MatchOnce(state, "note*", "NOTEPAD", 1);
}
BENCHMARK(BM_TypicalNames);

void BM_QuestionMarks(benchmark::State& state) {
    MatchOnce(state, std::string(255, '?'), k255As, 1);
}
BENCHMARK(BM_QuestionMarks);

void SplitOnce(benchmark::State& state, const std::string& path) {
    NamePattern p;
    for (auto _ : state) {
        SplitPath(path.c_str(), p.Drive, p.Directory, p.BaseName, p.Extension);
        benchmark::DoNotOptimize(p);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(path.size()));
}

void BM_SplitPathTypical(benchmark::State& state) {
    SplitOnce(state, "C:\\WINDOWS\\SYSTEM\\EXPLORER.EXE");
}
BENCHMARK(BM_SplitPathTypical);

// A path of the longest kind the matchers meet, every component at its cut.
void BM_SplitPathLong(benchmark::State& state) {
    SplitOnce(state, "C:" + std::string(255, 'd') + "\\" + std::string(200, 'b') + "." +
                         std::string(54, 'e'));
}
BENCHMARK(BM_SplitPathLong);

// A 100 KB /n argument: scanned once, cut to 255 bytes per component.
void BM_SplitPathHuge(benchmark::State& state) {
    SplitOnce(state, std::string(100 * 1024, 'a') + ".exe");
}
BENCHMARK(BM_SplitPathHuge);

}  // namespace
