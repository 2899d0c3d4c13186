# Shared by the packaging tests (sourced): a work folder outside the build
# tree with a fresh Wine prefix and a home of its own, so that what we ship
# runs as on a machine that never saw the build, and nothing lands in the
# machine's own home or Start menu. Needs an X display (xvfb-run).

set -euo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/velora_packaging.XXXXXX")
export HOME=$work/home
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
# No Mono or Gecko installers; no Linux menu entries for Start-menu shortcuts.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME"

cleanup() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  wineserver -w </dev/null >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for file in "$work"/*.txt "$work"/*.err; do
    [ -f "$file" ] && { echo "--- $(basename "$file")"; cat "$file"; }
  done
  exit 1
}

# Times a step; the packaging tests report what each one costs.
timed() {
  local label=$1 start step_status=0
  shift
  start=$(date +%s.%N)
  "$@" || step_status=$?
  awk -v label="$label" -v start="$start" -v end="$(date +%s.%N)" \
    'BEGIN { printf "time %s: %.1f s\n", label, end - start }'
  # The step's own status, so that "timed STEP || fail" sees a failed step.
  return "$step_status"
}

make_prefix() {
  # No persistent wine server: "wineserver -w" must be able to wait for the
  # programs of this prefix (an uninstaller re-starts itself from a copy).
  wineboot -i </dev/null >/dev/null 2>&1 || true
  # A crash must end the process, not wait for a person at Wine's debugger.
  wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
    </dev/null >/dev/null 2>&1 || true
  # The wine server writes the registry out when it ends.
  wineserver -w </dev/null >/dev/null 2>&1 || true
  [ -f "$WINEPREFIX/system.reg" ] || fail "no Wine prefix was made"
}
timed "fresh prefix" make_prefix || fail "no fresh prefix"

profile=$WINEPREFIX/drive_c/users/$(whoami)
run_log=$profile/Temp/velora_runner.log

# The Windows path of a Linux path.
win_path() { echo "Z:${1//\//\\}"; }

# run_host EXE NAME SCENARIO_TEXT [ARGUMENT...]: runs EXE from a current
# directory that is neither its folder nor its parent, with the ARGUMENTs
# first and then the scenario; leaves $work/NAME.txt (transcript) and
# $work/NAME.err, sets $status.
run_host() {
  local exe=$1 name=$2
  printf '%s' "$3" >"$work/$name.scn"
  shift 3
  mkdir -p "$work/elsewhere"
  status=0
  (cd "$work/elsewhere" &&
    timeout 90 wine "$exe" "$@" "--scenario=$(win_path "$work/$name.scn")" \
      "--transcript=$(win_path "$work/$name.txt")" </dev/null >"$work/$name.err" 2>&1) ||
    status=$?
}

# The short scenario every packaged host must answer: the window appears
# after the first frame, "isFullscreen" answers success(false), close ends.
smoke_scenario='window
call velora/window isFullscreen
close
'
check_smoke() {
  local name=$1 transcript=$work/$1.txt
  [ "$status" = 0 ] || fail "$name: exit code $status, expected 0"
  grep -q '^window class=FLUTTER_RUNNER_WIN32_WINDOW visible=1 ' "$transcript" ||
    fail "$name: no visible host window"
  grep -qx 'response 2 0002' "$transcript" || fail "$name: isFullscreen not answered false"
  grep -qx 'engine-ended' "$transcript" || fail "$name: the engine did not end"
}
