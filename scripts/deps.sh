#!/usr/bin/env bash
# Installs the Debian packages adsieve needs to build, test and benchmark, or,
# given package names, just those (the other scripts install their own so).
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config libicu-dev
          libgtest-dev libbenchmark-dev nlohmann-json3-dev clang-14 libclang-rt-14-dev)
# The adsieve command (argument parsing, config file, gzip input, fetching) and its tests.
packages+=(libcli11-dev libtomlplusplus-dev zlib1g-dev libcurl4-openssl-dev python3 python3-pytest nodejs)
# Benchmark-only competitor (bench/compare_bench), never linked into the library.
packages+=(libpugixml-dev)
[ $# -gt 0 ] && packages=("$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
