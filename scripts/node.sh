#!/usr/bin/env bash
# Builds, tests or benchmarks the Node package in bindings/node.
#   bash scripts/node.sh build   npm ci of the build tools, then the addon
#   bash scripts/node.sh test    build, then node --test and the type check
#   bash scripts/node.sh bench   build, then documents/s for Node and the C API
# The addon is compiled against the headers of the installed Node
# (/usr/include/node, so nothing is downloaded) and links build/libadsieve.a.
set -euo pipefail
cd "$(dirname "$0")/.."
action=${1:-build}
case "$action" in build | test | bench) ;; *) echo "usage: scripts/node.sh build|test|bench" >&2; exit 2 ;; esac

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
need=()
command -v node >/dev/null && command -v npm >/dev/null || need+=(nodejs npm)
[ -x /usr/bin/python3 ] || need+=(python3)
if [ ${#need[@]} -gt 0 ]; then
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${need[@]}"
fi

if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build build --target adsieve_static -j 2

cd bindings/node
# The build tools come from the lock file; installed again only when it changes.
stamp=node_modules/.adsieve-package-lock.json
if [ ! -f "$stamp" ] || ! cmp -s package-lock.json "$stamp"; then
  npm ci --ignore-scripts --prefer-offline --no-audit --no-fund
  cp package-lock.json "$stamp"
fi

gyp=(npx --no-install node-gyp --nodedir=/usr --python=/usr/bin/python3)
if [ ! -f build/Makefile ] || [ binding.gyp -nt build/Makefile ]; then
  "${gyp[@]}" configure
fi
# The generated Makefile does not know about the static library: relink by hand.
for out in build/Release/adsieve.node build/Release/obj.target/adsieve.node build/Release/capi_bench; do
  if [ -f "$out" ] && [ ../../build/libadsieve.a -nt "$out" ]; then rm -f "$out"; fi
done
"${gyp[@]}" build -j 2

case "$action" in
  test)
    npx --no-install tsc -p test/types
    node --test test/*.test.js
    ;;
  bench)
    node bench/bench.js
    ;;
esac
