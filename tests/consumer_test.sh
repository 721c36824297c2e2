#!/usr/bin/env bash
# Builds the consumer program against adsieve through add_subdirectory and
# through an installed package, and runs both.
# usage: consumer_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake -S "$src/tests/consumer" -B "$work/sub" -G Ninja -DADSIEVE_SOURCE="$src" >/dev/null
cmake --build "$work/sub" >/dev/null
"$work/sub/consumer"
# The subproject builds no tests, benchmarks or command of its own.
test ! -e "$work/sub/adsieve/tests" && test ! -e "$work/sub/adsieve/bench"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$src/tests/consumer" -B "$work/pkg" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/pkg" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib/x86_64-linux-gnu" "$work/pkg/consumer"
