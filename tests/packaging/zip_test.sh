#!/usr/bin/env bash
# The zip as a user gets it: exactly the bundle in one folder; unzipped into
# an empty folder of a fresh Wine prefix it runs from any current directory
# (the window appears, a short scenario is answered, close gives exit 0);
# without data/icudtl.dat the engine refuses to start and the host ends
# with exit 1 and "window.Create failed" in its run log.
# Usage: zip_test.sh ZIP
zip=$(realpath "$1")
source "$(dirname "$0")/fresh_prefix.sh"
[ -f "$zip" ] || fail "no package at $zip"
top=$(basename "$zip" .zip)

expected="$top/data/
$top/data/app.so
$top/data/flutter_assets/
$top/data/flutter_assets/AssetManifest.json
$top/data/icudtl.dat
$top/desktop_drop_plugin.dll
$top/flutter_windows.dll
$top/texture_rgba_renderer_plugin.dll
$top/velora.exe"
listed=$(unzip -Z1 "$zip" | sort)
[ "$listed" = "$expected" ] || fail "the zip holds:
$listed
expected:
$expected"

mkdir "$work/unzipped"
(cd "$work/unzipped" && unzip -q "$zip")
exe=$(win_path "$work/unzipped/$top/velora.exe")
timed "unzipped host run" run_host "$exe" unzipped "$smoke_scenario"
check_smoke unzipped

rm "$work/unzipped/$top/data/icudtl.dat"
timed "host run without ICU data" run_host "$exe" no_icu "$smoke_scenario"
[ "$status" = 1 ] || fail "without icudtl.dat: exit code $status, expected 1"
grep -q 'stand-in engine: cannot start: no ICU data file at .*\\data\\icudtl.dat' "$work/no_icu.err" ||
  fail "no refusal naming the ICU data file"
grep -q '\] window.Create failed' "$run_log" || fail "no 'window.Create failed' in the run log"
[ ! -s "$work/no_icu.txt" ] || fail "the app ran without its ICU data"
echo "zip: bundle listing, run from elsewhere, refusal without ICU data: ok"
