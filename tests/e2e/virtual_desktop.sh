# Shared by the real-input tests (sourced): a work folder, a Wine virtual
# desktop to run the host in, and where its client area lands on the X
# screen.

set -euo pipefail
export WINEDEBUG=-all
work=$(mktemp -d)
transcript=$work/transcript.txt
desktop="velora_test_$$"

# A virtual desktop changes the display mode the wine server reports until it
# restarts; restart it so that later tests see the real screen again.
restore() {
  rm -rf "$work"
  wineserver -k </dev/null >/dev/null 2>&1 || true
  wineserver -w </dev/null >/dev/null 2>&1 || true
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wine wineboot </dev/null >/dev/null 2>&1 || true
}
trap restore EXIT

fail() { echo "FAIL: $*"; echo "--- transcript"; cat "$transcript" 2>/dev/null || true; exit 1; }

# The Windows path of a file in the work folder.
win_path() { echo "Z:${work//\//\\}\\$1"; }

# wait_for PATTERN COUNT: until the transcript has COUNT lines matching.
wait_for() {
  for _ in $(seq 1 150); do
    [ "$(grep -c "$1" "$transcript" 2>/dev/null || true)" -ge "$2" ] && return 0
    sleep 0.1
  done
  return 1
}

# field NAME LINE: the value of NAME=... in a transcript line.
field() { sed -E "s/.* $1=([^ ]+).*/\\1/" <<<"$2"; }

# locate_window LINE: from a "window" record, sets left top right bottom cw ch,
# the desktop's X window and origin (desk dx dy), the frame's border and
# caption, and the client origin on the X screen (client_x client_y).
locate_window() {
  IFS=',' read -r left top right bottom <<<"$(field rect "$1")"
  IFS='x' read -r cw ch <<<"$(field client "$1")"
  desk=$(xdotool search --name "^$desktop - Wine desktop\$" | head -n 1)
  [ -n "$desk" ] || fail "no Wine desktop window"
  read -r dx dy <<<"$(xdotool getwindowgeometry "$desk" |
    sed -nE 's/.*Position: (-?[0-9]+),(-?[0-9]+).*/\1 \2/p')"
  border=$(((right - left - cw) / 2))
  caption=$((bottom - top - ch - border))
  client_x=$((dx + left + border))
  client_y=$((dy + top + caption))
}

# drag_caption DISTANCE_X: a press on the caption, a few moves, a release.
drag_caption() {
  xdotool mousemove $((dx + left + $1)) $((dy + top + caption / 2)) mousedown 1
  for i in 1 2 3 4 5; do
    xdotool mousemove $((dx + left + $1 + i * 20)) $((dy + top + caption / 2 + i * 15))
    sleep 0.1
  done
  xdotool mouseup 1
}

# The two window events, as the host sends them.
enter_hex=070b77696e646f774576656e740d01070474797065070d656e74657253697a654d6f7665
exit_hex=070b77696e646f774576656e740d01070474797065070c6578697453697a654d6f7665

# The start of a "windowEvent" with three entries: only secondInstance has them.
second_hex=070b77696e646f774576656e740d03

# events_in_order: enterSizeMove recorded before exitSizeMove.
events_in_order() {
  local enter exit_
  enter=$(grep -n "^host-send velora/window $enter_hex\$" "$transcript" | head -n 1 | cut -d: -f1)
  exit_=$(grep -n "^host-send velora/window $exit_hex\$" "$transcript" | head -n 1 | cut -d: -f1)
  [ -n "$enter" ] && [ -n "$exit_" ] && [ "$enter" -lt "$exit_" ]
}
