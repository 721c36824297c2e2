#!/usr/bin/env bash
# The Python package: Debian's Python packages, a virtual environment at .venv
# (Debian's python3 with the system site packages, so Dask comes from Debian),
# and the package built on build/libadsieve.a.
#   scripts/python.sh build   install the packages and (re)install adsieve into .venv
#   scripts/python.sh test    build, then run the pytest suite
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(python3-venv python3-dev python3-setuptools python3-wheel python3-pytest
          python3-dask python3-distributed pybind11-dev pkg-config)
bash scripts/deps.sh "${packages[@]}"

if [ ! -x .venv/bin/python ]; then
  /usr/bin/python3 -m venv --system-site-packages .venv
fi
# Nothing is fetched: the build requirements and Dask are Debian's.
.venv/bin/python -m pip install --quiet --no-build-isolation --no-index --disable-pip-version-check \
  ./bindings/python

if [ "${1:-build}" = test ]; then
  .venv/bin/python -m pytest -q -p no:cacheprovider bindings/python/tests
fi
