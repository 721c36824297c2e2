#!/usr/bin/env bash
# Checks the adsieve command's output formats and exit statuses.
set -u
bin="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
passed=0
failed=0
check() {  # description, command status expected, actual
  if [ "$2" = "$3" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $1 (expected $2, got $3)"; fi
}

printf '<VAST version="4.2"><Ad>' > "$dir/broken.xml"
printf '<A>\xff</A>' > "$dir/bad-utf8.xml"
printf '<VMAP version="1.0"/>' > "$dir/ok.xml"

out=$("$bin" "$dir/broken.xml"); st=$?
check "error exit status" 1 $st
check "issue line format" "$dir/broken.xml: error: XML parse error — document may be malformed [VAST-2.0-parse-error] (/VAST)" "$(echo "$out" | head -1)"
check "summary line" "$dir/broken.xml: invalid, 1 error(s), 0 warning(s), 0 info(s)" "$(echo "$out" | tail -1)"

"$bin" --rules '{"VAST-2.0-parse-error":"warning"}' "$dir/broken.xml" >/dev/null; check "override lowers severity" 0 $?

out=$("$bin" --json - < "$dir/broken.xml"); st=$?
check "json from stdin" '{"version":"4.2","issues":[{"id":"VAST-2.0-parse-error","severity":"error","message":"XML parse error — document may be malformed","path":"/VAST","spec_ref":"IAB VAST 2.0 §2","line":null,"col":null}],"summary":{"errors":1,"warnings":0,"infos":0,"valid":false}}' "$out"
check "json exit status" 1 $st

err=$("$bin" "$dir/missing.xml" 2>&1 >/dev/null); st=$?
check "unreadable file status" 2 $st
case "$err" in *missing.xml*) check "unreadable file named" 1 1 ;; *) check "unreadable file named" "$dir/missing.xml" "$err" ;; esac

err=$("$bin" "$dir/bad-utf8.xml" 2>&1 >/dev/null); st=$?
check "invalid UTF-8 status" 2 $st
check "invalid UTF-8 message" "adsieve: $dir/bad-utf8.xml: not valid UTF-8" "$err"

"$bin" --bogus "$dir/ok.xml" >/dev/null 2>&1; check "unknown option" 2 $?
"$bin" >/dev/null 2>&1; check "no files" 2 $?
"$bin" --wrapper-depth x "$dir/ok.xml" >/dev/null 2>&1; check "bad number" 2 $?

check "rules listing" 191 "$("$bin" rules | wc -l)"
check "tree" '{"error":false,"error_text":null,"root":{"name":"VMAP","attrs":[["version","1.0"]],"text":"","has_cdata":false,"line":1,"col":1,"children":[]}}' "$("$bin" tree "$dir/ok.xml")"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
