#!/usr/bin/env bash
# A crash of the host as shipped, read as its developers would read it:
# from the zip unzipped into a fresh Wine prefix (hardening_test.sh checks
# its stripped binaries and their symbols), a fault on the platform thread
# leaves velora_crash.txt and velora_crash.dmp in the temporary folder;
# LLDB opens the dump with the shipped velora.exe, takes the debug
# information from the symbols zip (matched by build id), and its backtrace
# of the faulting thread names the app side's faulting step and the host's
# own frames down to wWinMain, with source files and lines; the return
# addresses of the text report lie in modules of the dump. A second crash
# replaces both files.
# Usage: crash_dump_test.sh ZIP SYMBOLS_ZIP
zip=$(realpath "$1")
symbols_zip=$(realpath "$2")
source "$(dirname "$0")/fresh_prefix.sh"
[ -f "$zip" ] || fail "no package at $zip"
[ -f "$symbols_zip" ] || fail "no symbols zip at $symbols_zip"
top=$(basename "$zip" .zip)

mkdir "$work/unzipped" "$work/symbols"
(cd "$work/unzipped" && unzip -q "$zip")
(cd "$work/symbols" && unzip -q "$symbols_zip")
bundle=$work/unzipped/$top
shipped="velora.exe flutter_windows.dll desktop_drop_plugin.dll texture_rgba_renderer_plugin.dll data/app.so"

temp=$profile/Temp
report=$temp/velora_crash.txt
dump=$temp/velora_crash.dmp
crash_scenario='window
fault
'
exe=$(win_path "$bundle/velora.exe")
timed "first crash" run_host "$exe" crash1 "$crash_scenario"
# The shell sees the low byte of 0xC0000005.
[ "$status" = 5 ] || fail "first crash: exit code $status, expected 5"
[ -s "$report" ] && [ -s "$dump" ] || fail "the crash left no report and dump: $(ls "$temp")"

# The next crash replaces both files: longer stale ones go.
head -c 2000000 /dev/zero | tr '\0' 'S' | tee "$report" >"$dump"
timed "second crash" run_host "$exe" crash2 "$crash_scenario"
[ "$status" = 5 ] || fail "second crash: exit code $status, expected 5"
! grep -q SSSS "$report" || fail "the second crash left the stale report"
[ "$(head -c 4 "$dump")" = MDMP ] && [ "$(stat -c %s "$dump")" -lt 2000000 ] ||
  fail "the second crash left the stale dump"
grep -q '^EXCEPTION code=0xc0000005 addr=' "$report" || fail "no report of the second crash"

# Wine's own DLLs under the names the dump records, in upper case too (LLDB
# matches names case-sensitively here): what a debugger's system symbol path
# gives on Windows, so that the stack unwinds through them.
mkdir "$work/system"
for dll in /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/*.dll; do
  name=$(basename "$dll")
  ln -sf "$dll" "$work/system/$name"
  upper=$(tr '[:lower:]' '[:upper:]' <<<"${name%.dll}").dll
  [ "$upper" = "$name" ] || ln -sf "$dll" "$work/system/$upper"
done

lldb_commands=(-o "settings set target.exec-search-paths $work/system $bundle $bundle/data"
  -o "target create $bundle/velora.exe --core $dump")
for binary in $shipped; do
  lldb_commands+=(-o "target symbols add $work/symbols/$(basename "$binary").debug")
done
lldb_commands+=(-o "thread backtrace")
frames=$(tr -d '\r' <"$report" | sed -n 's/^  #[0-9]* \([0-9A-F]*\)$/\1/p')
[ -n "$frames" ] || fail "no frames in the report"
# The walk's return addresses, up to its end (a null frame; what follows
# it under Wine is not an address).
frames=$(sed '/^0*$/,$d' <<<"$frames")
for frame in $frames; do
  lldb_commands+=(-o "image lookup --address 0x$frame")
done
# LLDB's own status says nothing here: it ends with 1 after any error
# line (one about a GCC range list it cannot read); its output is checked.
run_lldb() { lldb-14 --batch "${lldb_commands[@]}" </dev/null >"$work/lldb.txt" 2>&1 || true; }
timed "LLDB on the dump" run_lldb
sed -n '/thread backtrace/,/image lookup/p' "$work/lldb.txt" | head -n 40
backtrace=$(sed -n '/^(lldb) thread backtrace/,/^(lldb) image lookup/p' "$work/lldb.txt")
lldb_fail() { fail "$1; LLDB printed:
$(cat "$work/lldb.txt")"; }
grep -q 'stop reason = Exception 0xc0000005' <<<"$backtrace" || lldb_fail "not the faulting thread"
grep -qE 'frame #0: .* app\.so`.*WriteThroughNull.* at app_side\.cc:[0-9]+' <<<"$backtrace" ||
  lldb_fail "the faulting frame is not the app side's WriteThroughNull with its line"
grep -qE 'app\.so`.*RunStep.* at app_side\.cc:[0-9]+' <<<"$backtrace" ||
  lldb_fail "no app-side frame with its line"
grep -qE 'flutter_windows\.dll`.* at [a-z0-9_]+\.cc:[0-9]+' <<<"$backtrace" ||
  lldb_fail "no frame of the engine with its line"
grep -qE 'velora\.exe`.*RunHost.* at host_main\.cc:[0-9]+' <<<"$backtrace" ||
  lldb_fail "no RunHost frame with its line"
grep -qE 'velora\.exe`(::)?wWinMain.* at main\.cc:[0-9]+' <<<"$backtrace" ||
  lldb_fail "no wWinMain frame with its line"
# Each address looked up names its module (LLDB prints nothing for one
# outside every module).
lookups=$(sed -n '/^(lldb) image lookup/,$p' "$work/lldb.txt")
[ "$(grep -c '^(lldb) image lookup' <<<"$lookups")" = "$(wc -w <<<"$frames")" ] ||
  lldb_fail "not every address looked up"
[ "$(grep -c '^ *Address: [A-Za-z0-9_.]*\[0x' <<<"$lookups")" = "$(wc -w <<<"$frames")" ] ||
  lldb_fail "report addresses outside the dump's modules"
echo "crash dump: stripped binaries, build ids, both files replaced, LLDB backtrace: ok"
