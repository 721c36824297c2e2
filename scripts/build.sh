#!/usr/bin/env bash
# Builds the library, the command, the tests and the benchmarks, then
# validates the bundled example documents with the adsieve command.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build

# Python package (.venv, built on build/libadsieve.a).
bash scripts/python.sh build
echo "== adsieve examples/*"
# Some examples are invalid on purpose, so a non-zero status is expected here.
./build/adsieve examples/* || true

# --- Node package (bindings/node) ---
bash scripts/node.sh build
# --- validator page (WebAssembly build, ICU included) in build/web ---
bash scripts/web.sh
