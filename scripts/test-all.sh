#!/usr/bin/env bash
# Installs what the tests need on a Debian 12 machine, builds, and runs every
# test. Run from the top of the source tree.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev lintian xvfb libx11-dev libxres-dev xterm g++-mingw-w64-x86-64 wine64)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j "$jobs"
ctest --test-dir build/release -j "$jobs" --output-on-failure

# --- Sanitizers: the same suites built with AddressSanitizer and
# UndefinedBehaviorSanitizer (CMakePresets.json, preset asan). The Wine
# suites are left out: they run the mingw-w64 build, which no sanitizer
# flag of this build reaches.
cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

# --- Fuzz targets (fuzz/): built with clang and libFuzzer, each run over its
# committed corpus for a bounded time.
./scripts/fuzz.sh 20
