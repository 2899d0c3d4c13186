#!/usr/bin/env bash
# Shows the demo from the unzipped bundle in a fresh Wine prefix outside the
# build tree and saves a screenshot: what a user who unzips the package sees.
# Needs an X display (run it under xvfb-run -s '-screen 0 2560x1600x24').
# Usage: screenshot_bundle.sh ZIP OUT.png [SECONDS]
set -euo pipefail
zip=$(realpath "$1")
out=$(realpath -m "$2")
seconds=${3:-12}
source "$(dirname "$0")/../../tests/packaging/fresh_prefix.sh"
(cd "$work" && unzip -q "$zip")
folder=$work/$(basename "$zip" .zip)
# A Wine virtual desktop draws the frame, as a window manager would.
(cd "$work" && wine explorer /desktop=Ondexa,2100x1320 "$(win_path "$folder/velora.exe")" \
  </dev/null >"$work/host.err" 2>&1 &)
sleep "$seconds"
desktop=$(xdotool search --name '^Ondexa - Wine desktop$' | head -n 1)
[ -n "$desktop" ] || fail "no Wine desktop window"
import -window "$desktop" "$out"
echo "screenshot: $out"
