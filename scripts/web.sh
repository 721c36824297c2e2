#!/usr/bin/env bash
# The in-browser validator page: the library built for WebAssembly with ICU's
# common library and the UTS #46 data, plus the static files, in build/web/.
#
#   bash scripts/web.sh          build the page (installs what it needs)
#   bash scripts/web.sh test     build it, then check it in headless Chromium
#   bash scripts/web.sh serve    serve build/web/ on http://127.0.0.1:8000/
#
# ICU's source comes from Debian (apt-get source, through a private deb-src
# list and apt state under build/icu-wasm/apt, leaving the machine's apt set-up
# alone); the ICU build is cached under build/icu-wasm/ and skipped next time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
icu_dir=$root/build/icu-wasm
site=$root/build/web
toolchain=$root/web/wasm32-wasi.cmake

install_packages() {
  bash "$root/scripts/deps.sh" "$@" >/dev/null
}

# ICU's source tree from Debian, unpacked under build/icu-wasm/src.
fetch_icu_source() {
  local found
  found=$(ls -d "$icu_dir"/src/icu-*/source 2>/dev/null | tail -n 1 || true)
  if [ -n "$found" ] && [ -f "$found/common/unicode/uvernum.h" ]; then
    echo "$found"
    return
  fi
  local apt=$icu_dir/apt
  rm -rf "$apt" "$icu_dir/src"
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$icu_dir/src"
  # deb-src entries for the archives the machine already uses.
  : >"$apt/sources.list"
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$apt/sources.list"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt/sources.list.d/$(basename "$f")"
  done
  local opts=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/sources.list.d"
              -o "APT::Sandbox::User=root"
              -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache"
              -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=")
  apt-get "${opts[@]}" update -qq >&2
  (cd "$icu_dir/src" && apt-get "${opts[@]}" source -qq --only-source icu >&2) || {
    echo "web.sh: apt-get source icu failed" >&2
    exit 1
  }
  found=$(ls -d "$icu_dir"/src/icu-*/source | tail -n 1)
  echo "$found"
}

build_icu() {
  local src stamp key start
  src=$(fetch_icu_source)
  stamp=$icu_dir/prefix/.built
  key="$(basename "$(dirname "$src")") $(cat "$root/web/icu/"* "$toolchain" | sha256sum | cut -c1-16)"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$key" ]; then
    echo "== ICU for WebAssembly: cached in build/icu-wasm ($key)"
    return
  fi
  echo "== ICU for WebAssembly: building $(basename "$(dirname "$src")") (common library + UTS #46 data)"
  start=$(date +%s)
  cmake -S "$root/web/icu" -B "$icu_dir/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DICU_SOURCE="$src" -DCMAKE_INSTALL_PREFIX="$icu_dir/prefix" >/dev/null
  cmake --build "$icu_dir/build" -j 2
  cmake --install "$icu_dir/build" >/dev/null
  echo "$key" >"$stamp"
  echo "== ICU for WebAssembly built in $(($(date +%s) - start)) s"
}

build_page() {
  install_packages clang-19 lld-19 llvm-19 wasi-libc libc++-19-dev-wasm32 libc++abi-19-dev-wasm32 \
    libclang-rt-19-dev-wasm32 icu-devtools dpkg-dev cmake ninja-build gzip
  build_icu
  echo "== adsieve.wasm"
  cmake -S "$root/web" -B "$root/build/web-wasm" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DICU_WASM="$icu_dir/prefix" >/dev/null
  cmake --build "$root/build/web-wasm" -j 2
  rm -rf "$site"
  mkdir -p "$site/examples"
  cp "$root"/web/index.html "$root"/web/*.js "$root"/web/*.css "$site/"
  cp "$root/build/web-wasm/adsieve.wasm" "$site/"
  cp "$root"/examples/*.xml "$site/examples/"
  (cd "$root/examples" && ls *.xml) | sed 's/.*/"&"/' | paste -sd, - | sed 's/.*/[&]/' >"$site/examples/index.json"
  local raw gz
  raw=$(stat -c %s "$site/adsieve.wasm")
  gz=$(gzip -9 -c "$site/adsieve.wasm" | wc -c)
  echo "== build/web: adsieve.wasm $raw bytes ($gz gzipped)"
  echo "   Open the page:  bash scripts/web.sh serve   then http://127.0.0.1:8000/"
  echo "   (or: python3 -m http.server -d build/web -b 127.0.0.1 8000)"
}

run_test() {
  install_packages chromium chromium-driver python3-selenium
  build_page
  if [ ! -f "$root/build/libadsieve.so" ]; then
    echo "web.sh: build/libadsieve.so is missing (run scripts/build.sh first)" >&2
    exit 1
  fi
  /usr/bin/python3 "$root/web/test/browser_test.py" --site "$site" --native "$root/build/libadsieve.so" \
    --shared "${ADSIEVE_SHARED_DIR:-$root/../shared}" --examples "$root/examples"
}

case "${1:-build}" in
  build) build_page ;;
  test) run_test ;;
  serve)
    [ -f "$site/adsieve.wasm" ] || build_page
    echo "Serving build/web on http://127.0.0.1:${2:-8000}/ (Ctrl-C stops)"
    exec python3 -m http.server -d "$site" -b 127.0.0.1 "${2:-8000}"
    ;;
  *)
    echo "usage: bash scripts/web.sh [build|test|serve [PORT]]" >&2
    exit 2
    ;;
esac
