#!/usr/bin/env bash
# Builds the library, the multi-threaded test and the command under
# ThreadSanitizer with clang-14 in build-tsan/, then runs the test and the
# command's thread pool over the corpus; any report fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DADSIEVE_TSAN=ON -DADSIEVE_BUILD_BENCH=OFF
cmake --build build-tsan -j "$jobs" --target threads_test adsieve_cli
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
build-tsan/tests/threads_test
# The command's pool: four workers, output in input order; findings give status 1.
status=0
build-tsan/adsieve -j 4 --no-progress --format jsonl ../shared/corpus >/dev/null || status=$?
if [ "$status" -ne 0 ] && [ "$status" -ne 1 ]; then
  echo "tsan: the command failed with status $status" >&2
  exit 1
fi
echo "tsan: threads_test and the command's pool ran clean"
