#!/usr/bin/env bash
# The demo of the run command used as a person would: in a Wine virtual
# desktop, xdotool clicks the demo's full-screen button (the window must
# cover the monitor), clicks it again (the old rectangle must return),
# switches keep-awake and always-on-top on (the platform thread's execution
# state and the window's topmost style must follow), a screenshot must show
# the test pattern inside the native video area with the interface strips
# around it and both switches lit, a second launch with a file must be
# handed to the demo (which turned single-instance mode on) and listed in
# its strip, and a drag of the frame must bring the window events in order.
# A screenshot with the second launch listed goes to SCREENSHOT when given.
# Usage: demo_test.sh BIN_DIR [SCREENSHOT]
bin=$1
screenshot=${2:-}
source "$(dirname "$0")/virtual_desktop.sh"
(cd "$bin" && wine explorer "/desktop=$desktop,2100x1320" run_host.exe --seconds 25 \
  "--transcript=$(win_path transcript.txt)" </dev/null >"$work/run_host.out" 2>&1 &)

wait_for '^demo-button fullscreen ' 1 || fail "the demo did not lay out its buttons"
wait_for '^window ' 1 || fail "no window record"
first=$(grep -m1 '^window ' "$transcript")
rect=$(field rect "$first")
locate_window "$first"

click_button() {  # click_button NAME ORIGIN_X ORIGIN_Y
  local line bx by bw bh
  line=$(grep "^demo-button $1 " "$transcript" | tail -n 1)
  IFS=',' read -r bx by <<<"$(cut -d' ' -f3 <<<"$line")"
  IFS='x' read -r bw bh <<<"$(cut -d' ' -f4 <<<"$line")"
  xdotool mousemove $(($2 + bx + bw / 2)) $(($3 + by + bh / 2)) click 1
}

# Full screen: the window covers the whole monitor.
click_button fullscreen "$client_x" "$client_y"
wait_for '^window ' 2 || fail "no window record after the first click"
full=$(grep '^window ' "$transcript" | sed -n 2p)
[ "$(field rect "$full")" = "0,0,2100,1320" ] || fail "full screen rect is $(field rect "$full")"
# The buttons moved with the bottom edge; the window has no frame now.
wait_for '^demo-button fullscreen ' 2 || fail "no new layout in full screen"
click_button fullscreen "$dx" "$dy"
wait_for '^window ' 3 || fail "no window record after the second click"
back=$(grep '^window ' "$transcript" | sed -n 3p)
[ "$(field rect "$back")" = "$rect" ] || fail "restored rect $(field rect "$back") != $rect"
[ "$(field style "$back")" = "$(field style "$first")" ] || fail "style not restored"

# Keep-awake and always-on-top, from their buttons.
click_button keepawake "$client_x" "$client_y"
wait_for '^window ' 4 || fail "no window record after keep-awake"
grep -q '^demo-execstate thread=0x80000003 ' "$transcript" || fail "keep-awake not held"
click_button ontop "$client_x" "$client_y"
wait_for '^window ' 5 || fail "no window record after always-on-top"
ontop=$(grep '^window ' "$transcript" | sed -n 5p)
(( $(field exstyle "$ontop") & 0x8 )) || fail "not topmost: exstyle $(field exstyle "$ontop")"
[ "$(field rect "$ontop")" = "$rect" ] || fail "always-on-top moved the window"
sleep 1

# What a person sees: the pattern in the native video area, the interface
# strips around it (client coordinates, device pixels).
shot=$work/shot.png
import -window "$desk" "$shot"
pixel() {  # pixel CLIENT_X CLIENT_Y -> r,g,b
  convert "$shot" -format "%[fx:int(255*p{$((left + border + $1)),$((top + caption + $2))}.r)],%[fx:int(255*p{$((left + border + $1)),$((top + caption + $2))}.g)],%[fx:int(255*p{$((left + border + $1)),$((top + caption + $2))}.b)]" info:
}
video_w=$((cw - 320))
[ "$(pixel 20 100)" = "192,192,192" ] || fail "first bar: $(pixel 20 100)"
[ "$(pixel $((video_w - 20)) 100)" = "0,0,192" ] || fail "last bar: $(pixel $((video_w - 20)) 100)"
[ "$(pixel 8 8)" = "31,36,51" ] || fail "top band: $(pixel 8 8)"
[ "$(pixel $((cw - 8)) 300)" = "38,44,61" ] || fail "right strip: $(pixel $((cw - 8)) 300)"
[ "$(pixel $((cw - 8)) $((ch - 8)))" = "31,36,51" ] || fail "bottom bar: $(pixel $((cw - 8)) $((ch - 8)))"
lit() {  # lit NAME: the button's colour when it is on
  local line bx by
  line=$(grep "^demo-button $1 " "$transcript" | tail -n 1)
  IFS=',' read -r bx by <<<"$(cut -d' ' -f3 <<<"$line")"
  [ "$(pixel $((bx + 4)) $((by + 4)))" = "19,156,184" ]
}
lit keepawake || fail "keep-awake button not lit"
lit ontop || fail "always-on-top button not lit"

# A second launch with a file: handed to the demo, which lists it.
(cd "$bin" && LC_ALL=C.UTF-8 wine explorer "/desktop=$desktop,2100x1320" velora.exe \
  'C:\Vidéos\Café — Film.mkv' </dev/null >"$work/second.out" 2>&1 &)
wait_for "^host-send velora/window $second_hex" 1 || fail "the second launch was not handed over"
film_hex=$(printf '%s' 'C:\Vidéos\Café — Film.mkv' | od -An -tx1 | tr -d ' \n')
grep "^host-send velora/window $second_hex" "$transcript" | grep -q "$film_hex" ||
  fail "the second launch's file did not arrive as its UTF-8"
sleep 1
if [ -n "$screenshot" ]; then
  import -window "$desk" "$screenshot" || fail "no screenshot"
fi

# A frame drag: the window events, enter before exit.
drag_caption 700
wait_for "^host-send velora/window $exit_hex\$" 1 || fail "no exitSizeMove"
events_in_order || fail "window events out of order"

for _ in $(seq 1 300); do
  grep -q 'host exited' "$work/run_host.out" 2>/dev/null && break
  sleep 0.1
done
grep -q 'run_host: host exited with 0' "$work/run_host.out" || { cat "$work/run_host.out"; fail "exit"; }
echo "demo: full screen, restore, the switches, frame drag, a second launch and the picture as expected"
