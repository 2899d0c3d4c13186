#!/usr/bin/env bash
# Real input through the X server, as a person gives it: the host runs in a
# Wine virtual desktop (which draws the caption), xdotool clicks over the
# video host and drags the window by its caption. Checks that the click
# reaches the Flutter view through the host, and that the move loop yields
# the window events, the run-log lines and one posted WM_SIZE, in order.
# Usage: real_input_test.sh BIN_DIR
bin=$1
source "$(dirname "$0")/virtual_desktop.sh"
: "${WINEPREFIX:?}"

run_log=$WINEPREFIX/drive_c/users/$(whoami)/Temp/velora_runner.log
log_offset=$( [ -f "$run_log" ] && stat -c %s "$run_log" || echo 0)

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
(cd "$bin" && wine explorer "/desktop=$desktop,1600x900" velora.exe \
  "--scenario=$(win_path input.scn)" "--transcript=$(win_path transcript.txt)" \
  </dev/null >/dev/null 2>&1 &)

wait_for '^window ' 1 || fail "no window line"
line=$(grep -m1 '^window ' "$transcript")
locate_window "$line"
[ "$cw" = 1000 ] && [ "$ch" = 600 ] || fail "client is ${cw}x${ch}"

# A click in the middle of the video area (0,40 700x480 in the client).
xdotool mousemove $((client_x + 350)) $((client_y + 280)) click 1
sleep 0.5
# A drag of the caption.
drag_caption 500

wait_for '^engine-ended' 1 || fail "the host did not end"

grep -q '^view-input 0x0201 350,280$' "$transcript" || fail "the click did not reach the view"
events_in_order || fail "window events missing or out of order"
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
