#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer into build/fuzz and runs
# each over its committed corpus for a bounded time. Run from the top of the
# source tree. Usage: scripts/fuzz.sh [seconds per target, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
cmake -S fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/fuzz -j 2
targets=(counters_list_fuzz perf_replies_fuzz switches_fuzz wildcard_fuzz procfs_fuzz)
for t in "${targets[@]}"; do
  # New inputs go to a scratch folder; the committed corpus stays as it is.
  scratch=build/fuzz/corpus-$t
  mkdir -p "$scratch" build/fuzz/artifacts
  echo "fuzzing $t for ${seconds}s"
  if ! build/fuzz/$t -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix=build/fuzz/artifacts/$t- "$scratch" fuzz/corpus/$t \
       > build/fuzz/$t.log 2>&1; then
    tail -n 60 build/fuzz/$t.log
    echo "fuzz target $t failed; the input is in build/fuzz/artifacts/" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units' build/fuzz/$t.log || true
done
