#!/bin/bash
# Wall-time A/B of full validation between two builds of compare_bench:
#   bash bench/ab.sh BASE_BIN NEW_BIN [ROUNDS] [SET]
# SET is one of compare_bench's input sets (corpus, 10KB, 1MB, deep1M, ...).
# The two binaries run in turn, ROUNDS times, so that a slow minute on a
# shared machine weighs on both, and on one processor (the last; `taskset`,
# when there is one), which keeps two runs of one binary within about 0.3%
# of each other; each run holds a lock, so that two A/Bs started at once do
# not measure each other. Prints each side's median and fastest CPU time per
# pass and the change (negative: NEW is faster). On a loaded machine the
# fastest round is the better guide: load only ever adds time.
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: bash bench/ab.sh BASE_BIN NEW_BIN [ROUNDS] [SET]" >&2
  exit 2
fi
base=$1 new=$2 rounds=${3:-12} set=${4:-corpus}
exec 9>"${TMPDIR:-/tmp}/adsieve-bench.lock"
pin=()
if command -v taskset >/dev/null && command -v nproc >/dev/null; then pin=(taskset -c "$(($(nproc) - 1))"); fi
one() {
  "${pin[@]}" "$1" --benchmark_filter="^Validate/$set/" --benchmark_format=csv 2>/dev/null |
    grep "^\"Validate/$set/" | cut -d, -f4
}
a=() b=()
for _ in $(seq "$rounds"); do
  flock 9
  a+=("$(one "$base")") b+=("$(one "$new")")
  flock -u 9
done
python3 - "${a[*]}" "${b[*]}" <<'PY'
import statistics, sys
a = sorted(map(float, sys.argv[1].split()))
b = sorted(map(float, sys.argv[2].split()))
ma, mb = statistics.median(a), statistics.median(b)
print(f"median {ma:.1f} -> {mb:.1f} ({100 * (mb - ma) / ma:+.2f}%), "
      f"fastest {a[0]:.1f} -> {b[0]:.1f} ({100 * (b[0] - a[0]) / a[0]:+.2f}%)")
PY
