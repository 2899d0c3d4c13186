#!/usr/bin/env bash
# Real input through the X server, as a person gives it: the host runs in a
# Wine virtual desktop (which draws the caption), xdotool clicks over the
# video host and drags the window by its caption. Checks that the click
# reaches the Flutter view through the host, and that the move loop yields
# the window events, the run-log lines and one posted WM_SIZE, in order.
# Usage: real_input_test.sh BIN_DIR
set -euo pipefail
bin=$1
work=$(mktemp -d)
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
export WINEDEBUG=-all
: "${WINEPREFIX:?}"

run_log=$WINEPREFIX/drive_c/users/$(whoami)/Temp/velora_runner.log
log_offset=$( [ -f "$run_log" ] && stat -c %s "$run_log" || echo 0)
desktop="velora_input_$$"

cat >"$work/input.scn" <<'SCN'
call velora/window resizeWindow {"width": 1000, "height": 600}
call velora/window createVideoHost
call velora/window setNativeVideoMode {"active": true, "topHeightPx": 40, "barHeightPx": 80, "rightPaddingPx": 300}
sleep 300
offered 0x0005
window
sleep 8000
offered 0x0005
window
close
SCN
transcript=$work/input.txt
(cd "$bin" && wine explorer "/desktop=$desktop,1600x900" velora.exe \
  "--scenario=Z:${work//\//\\}\\input.scn" "--transcript=Z:${work//\//\\}\\input.txt" \
  </dev/null >/dev/null 2>&1 &)

fail() { echo "FAIL: $*"; echo "--- transcript"; cat "$transcript" 2>/dev/null || true; exit 1; }

for _ in $(seq 1 200); do
  grep -q '^window ' "$transcript" 2>/dev/null && break
  sleep 0.1
done
line=$(grep -m1 '^window ' "$transcript") || fail "no window line"
# window ... rect=L,T,R,B client=WxH ...
read -r left top right bottom <<<"$(sed -E 's/.* rect=(-?[0-9]+),(-?[0-9]+),(-?[0-9]+),(-?[0-9]+) .*/\1 \2 \3 \4/' <<<"$line")"
read -r cw ch <<<"$(sed -E 's/.* client=([0-9]+)x([0-9]+) .*/\1 \2/' <<<"$line")"
[ "$cw" = 1000 ] && [ "$ch" = 600 ] || fail "client is ${cw}x${ch}"

# The desktop's own origin on the X screen.
desk=$(xdotool search --name "^$desktop - Wine desktop\$" | head -n 1)
[ -n "$desk" ] || fail "no Wine desktop window"
read -r dx dy <<<"$(xdotool getwindowgeometry "$desk" | sed -nE 's/.*Position: (-?[0-9]+),(-?[0-9]+).*/\1 \2/p')"

border=$(( (right - left - cw) / 2 ))
caption=$(( bottom - top - ch - border ))   # caption plus top border
client_x=$(( dx + left + border ))
client_y=$(( dy + top + caption ))

# A click in the middle of the video area (0,40 700x480 in the client).
xdotool mousemove $((client_x + 350)) $((client_y + 280)) click 1
sleep 0.5
# A drag of the caption.
xdotool mousemove $((dx + left + 500)) $((dy + top + caption / 2)) mousedown 1
for i in 1 2 3 4 5; do
  xdotool mousemove $((dx + left + 500 + i * 20)) $((dy + top + caption / 2 + i * 15))
  sleep 0.1
done
xdotool mouseup 1

for _ in $(seq 1 300); do
  grep -q '^engine-ended' "$transcript" 2>/dev/null && break
  sleep 0.1
done
grep -q '^engine-ended' "$transcript" || fail "the host did not end"

grep -q '^view-input 0x0201 350,280$' "$transcript" || fail "the click did not reach the view"
enter=$(grep -n '^host-send velora/window 070b77696e646f774576656e740d01070474797065070d656e74657253697a654d6f7665$' "$transcript" | cut -d: -f1)
exit_=$(grep -n '^host-send velora/window 070b77696e646f774576656e740d01070474797065070c6578697453697a654d6f7665$' "$transcript" | cut -d: -f1)
[ -n "$enter" ] && [ -n "$exit_" ] && [ "$enter" -lt "$exit_" ] || fail "window events missing or out of order"
mapfile -t offered < <(grep '^offered 0x0005 ' "$transcript" | cut -d' ' -f3)
[ "$(( offered[1] - offered[0] ))" = 1 ] || fail "expected one WM_SIZE, saw $(( offered[1] - offered[0] ))"
moved=$(grep '^window ' "$transcript" | tail -n 1)
[ "$moved" != "$line" ] || fail "the window did not move"

log=$(tail -c +$((log_offset + 1)) "$run_log" | tr -d '\r' | sed -E 's/^\[pid=[0-9]+ tid=[0-9]+\] //')
tail_lines=$(grep -A4 '^flutter_view resize' <<<"$log")
# Pointers print as 16 upper-case digits; then the lines compare exactly.
normalised=$(sed -E 's/hwnd=[0-9A-F]{16} /hwnd=H /' <<<"$tail_lines")
expected="flutter_view resize (WM_EXITSIZEMOVE): client=1000x600 => flutter_view_client=1000x600
WM_EXITSIZEMOVE: ForceRedraw()
child_windows (WM_EXITSIZEMOVE):
  #0 hwnd=H cls=VideoHostWindow vis=1 rect=0,40 700x480 tag=video_host
  #1 hwnd=H cls=FLUTTERVIEW vis=1 rect=0,0 1000x600 tag=flutter_view"
[ "$normalised" = "$expected" ] || { echo "$tail_lines"; fail "run log lines of the move loop"; }
echo "real input: click-through and move loop as expected"
