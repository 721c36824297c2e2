#!/usr/bin/env bash
# Installs what the command's tests need from npm: the SARIF 2.1.0 schema and
# a JSON-schema validator, into tests/cli/node_modules (from the lock file).
set -euo pipefail
cd "$(dirname "$0")/../tests/cli"
if ! command -v npm >/dev/null 2>&1; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq npm
fi
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  npm ci --no-audit --no-fund --loglevel=error
fi
