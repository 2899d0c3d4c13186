#!/usr/bin/env bash
# The test kit as it goes to a Windows machine, run the way a person there
# would run it (cmd /c run_tests.cmd), here under Wine from an unzipped copy
# in a fresh prefix. Passes when every case listed in the kit passed; the
# kit's own last line is passed on, so callers can add its counts. Then the
# runner's time limit, on a case that hangs on purpose.
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

# The runner itself, on a list of its own: a case that hangs (run_host.exe
# waits for the host, which without a scenario shows its demo until someone
# closes it) is ended with its child when its time limit passes, counted as
# failed, and the run goes on to the next case and its summary line. A find
# of another kind first in PATH changes nothing: the system's own is used.
printf '%s\r\n' "window_tests.exe Win32WindowTest.OperationsBeforeCreationDoNothing 60" \
  "run_host.exe Kit.HangsOnPurpose 4" \
  "window_tests.exe Win32WindowTest.OperationsBeforeCreationDoNothing 60" >"$kit/tests.txt"
mkdir -p "$work/decoy"
printf '@exit /b 0\r\n' >"$work/decoy/find.bat"
hang_status=0
run_hang() {
  (cd "$work/elsewhere" && WINEPATH=$(win_path "$work/decoy") \
    timeout 120 wine cmd /c "$(win_path "$kit/run_tests.cmd")" </dev/null >"$work/hang.out" 2>&1) ||
    hang_status=$?
}
timed "time limit check (a case that hangs, limit 4 s)" run_hang
tr -d '\r' <"$work/hang.out" >"$work/hang.txt"
expected_hang="PASS window_tests.exe Win32WindowTest.OperationsBeforeCreationDoNothing
FAIL run_host.exe Kit.HangsOnPurpose [ended after 4 s]
PASS window_tests.exe Win32WindowTest.OperationsBeforeCreationDoNothing
2 passed, 1 failed"
[ "$(cat "$work/hang.txt")" = "$expected_hang" ] ||
  fail "the time limit run printed something else (exit $hang_status), expected:
$expected_hang"
[ "$hang_status" = 1 ] || fail "the time limit run exited with $hang_status, expected 1"
tr -d '\r' <"$kit/logs/failed.txt" | grep -q 'time_limit: .*run_host.exe still ran after 4 s and was ended' ||
  fail "logs\\failed.txt does not say which case was ended"
# Nothing the ended case started lives on in this prefix.
# (Wine's tasklist lists nothing, so the processes of this prefix are read
# from /proc; an ended one may linger as a zombie, with neither.)
for proc in /proc/[0-9]*; do
  if tr '\0' '\n' 2>/dev/null <"$proc/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
    tr '\0' ' ' 2>/dev/null <"$proc/cmdline" | grep -qiE 'velora\.exe|run_host\.exe'; then
    fail "still running after its case was ended: $(tr '\0' ' ' 2>/dev/null <"$proc/cmdline")"
  fi
done
