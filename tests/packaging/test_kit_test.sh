#!/usr/bin/env bash
# The test kit as it goes to a Windows machine, run the way a person there
# would run it (cmd /c run_tests.cmd), here under Wine from an unzipped copy
# in a fresh prefix. Passes when every case listed in the kit passed; the
# kit's own last line is passed on, so callers can add its counts.
# Usage: test_kit_test.sh KIT_ZIP
zip=$(realpath "$1")
source "$(dirname "$0")/fresh_prefix.sh"
[ -f "$zip" ] || fail "no test kit at $zip"
# Many processes start one after another: keep one wine server for them.
wineserver -p </dev/null >/dev/null 2>&1 || true

(cd "$work" && unzip -q "$zip")
kit=$work/$(basename "$zip" .zip)
[ -f "$kit/run_tests.cmd" ] || fail "no run_tests.cmd in the kit"
[ -f "$kit/velora.exe" ] && [ -f "$kit/flutter_windows.dll" ] && [ -f "$kit/data/app.so" ] ||
  fail "the kit lacks the host or the stand-ins"
cases=$(grep -c . "$kit/tests.txt")
[ "$cases" -gt 0 ] || fail "no cases listed"

mkdir -p "$work/elsewhere"
run_kit() {
  (cd "$work/elsewhere" && wine cmd /c "$(win_path "$kit/run_tests.cmd")" </dev/null \
    >"$work/kit.out" 2>&1) || true
}
timed "test kit run ($cases cases)" run_kit
tr -d '\r' <"$work/kit.out" >"$work/kit.txt"
grep '^FAIL ' "$work/kit.txt" || true
last=$(tail -n 1 "$work/kit.txt")
echo "$last"
if [ "$last" != "$cases passed, 0 failed" ]; then
  [ -f "$kit/logs/failed.txt" ] && tr -d '\r' <"$kit/logs/failed.txt" | tail -n 200
  fail "expected \"$cases passed, 0 failed\""
fi
