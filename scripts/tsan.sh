#!/usr/bin/env bash
# Builds the library and the multi-threaded test under ThreadSanitizer with
# clang-14 in build-tsan/ and runs the test; any report fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DADSIEVE_TSAN=ON -DADSIEVE_BUILD_BENCH=OFF
cmake --build build-tsan -j "$jobs" --target threads_test
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build-tsan/tests/threads_test
