#!/usr/bin/env bash
# Writes the README's rule table from the catalogue (adsieve rules --format markdown).
set -euo pipefail
cd "$(dirname "$0")/.."
table=$(./build/adsieve rules --format markdown)
python3 - "$table" <<'PY'
import sys
begin, end = "<!-- rules:begin -->\n", "<!-- rules:end -->"
text = open("README.md", encoding="utf-8").read()
a = text.index(begin) + len(begin)
b = text.index(end)
open("README.md", "w", encoding="utf-8").write(text[:a] + sys.argv[1] + "\n" + text[b:])
PY
