#!/usr/bin/env bash
# Builds and runs every test: a release build, then an AddressSanitizer +
# UndefinedBehaviorSanitizer build of the same tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)
# The SARIF schema and validator for the command's tests.
bash scripts/cli-test-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

# Python package and the audit on a local Dask cluster.
bash scripts/python.sh test

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DADSIEVE_SANITIZE=ON -DADSIEVE_BUILD_BENCH=OFF
cmake --build build-sanitize -j "$jobs"
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j "$jobs")

# --- Node package (bindings/node) ---
bash scripts/node.sh test
# --- validator page in headless Chromium, against build/libadsieve.so ---
bash scripts/web.sh test
# --- Threads under ThreadSanitizer, then every fuzz target for a short while ---
# ADSIEVE_FUZZ_SECONDS sets the time per fuzz target (default 60; 0 skips).
bash scripts/tsan.sh
fuzz_seconds=${ADSIEVE_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" != 0 ]; then
  bash scripts/fuzz.sh "$fuzz_seconds"
fi
