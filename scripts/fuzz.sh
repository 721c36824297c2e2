#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 (AddressSanitizer and
# UndefinedBehaviorSanitizer included) and runs every target for SECONDS
# (default 60) from its seeds in fuzz/seeds/<target>/. The seeds are copied to
# a scratch corpus under build-fuzz/, so the repository is never written. Any
# crash, leak, timeout or out-of-memory report fails the script; its input is
# left in build-fuzz/artifacts/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=$(nproc)

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DADSIEVE_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DADSIEVE_BUILD_TESTS=OFF -DADSIEVE_BUILD_BENCH=OFF -DADSIEVE_BUILD_CLI=OFF
read -r -a targets < <(sed -n 's/^set(ADSIEVE_FUZZ_TARGETS \(.*\))$/\1/p' fuzz/CMakeLists.txt)
cmake --build build-fuzz -j "$jobs" --target "${targets[@]}"

failed=()
summary=()
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t
  artifacts=build-fuzz/artifacts/$t
  log=build-fuzz/logs/$t.log
  rm -rf "$corpus" "$artifacts"
  mkdir -p "$corpus" "$artifacts" build-fuzz/logs
  cp fuzz/seeds/"$t"/* "$corpus"/
  echo "== $t: ${seconds}s from $(ls "$corpus" | wc -l) seeds"
  status=0
  build-fuzz/fuzz/"$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | sed 's/cov: //')
  crashes=$(ls "$artifacts" | wc -l)
  summary+=("$(printf '%-16s executions %-10s cov %-6s crashes %s' "$t" "${execs:-?}" "${cov:-?}" "$crashes")")
  if [ "$status" -ne 0 ] || [ "$crashes" -ne 0 ]; then
    failed+=("$t")
    tail -n 60 "$log"
  fi
done
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]} (inputs in build-fuzz/artifacts/)" >&2
  exit 1
fi
