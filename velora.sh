#!/usr/bin/env bash
# Entry point for people and CI.
#   ./velora.sh run [--seconds N] [host arguments...]
#                                   set up, build and run the host under Wine
#   ./velora.sh test                set up, build every build and run all tests
#   ./velora.sh perf                set up, build the native build and print the
#                                   performance report
#   ./velora.sh package             set up, build the Windows build and make the
#                                   zip, the installer and the test kit
# All install what they need on a fresh Debian machine (as root) and are
# safe to run again.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD=$ROOT/build
export WINEPREFIX=${VELORA_WINEPREFIX:-$BUILD/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The virtual screen of the tests and the demo (whose Wine desktops need the
# room); no case assumes its size.
SCREEN="2560x1600x24"
# The cases that depend on the screen run once more on a laptop's screen at
# 150 % (a prefix of their own holds Wine's DPI), with a 40-pixel taskbar at
# the top: the work area as x,y,width,height.
SECOND_SCREEN="1366x768x24"
SECOND_DPI=144
SECOND_WORK_AREA="0,40,1366,728"
SECOND_SCREEN_CASES='^(window_tests|video_host_tests)\.|^e2e_tests\.(HostStartupTest\.(Hidden|Scaled)|WindowChannelTest\.|FlutterHostTest\.ViewFills)'
JOBS=$(nproc 2>/dev/null || echo 2)

PACKAGES=(
  cmake make ninja-build g++ python3
  g++-mingw-w64-x86-64-posix
  wine wine64 xvfb xauth xdotool x11-utils imagemagick
  googletest libgtest-dev libbenchmark-dev libmsgpack-cxx-dev
  clang-14 libclang-rt-14-dev valgrind
  lld-14 clang-tidy-14
  nsis zip unzip osslsigncode openssl
  lldb-14 python3-lldb-14 llvm-14
)

log() { printf '== %s\n' "$*" >&2; }

setup() {
  local missing=()
  for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  if ((${#missing[@]})); then
    log "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
      "${missing[@]}" >/dev/null
  fi
}

# configure_and_build PRESET [TARGET...]: all of the build, or the TARGETs.
configure_and_build() {
  local preset=$1 targets=()
  shift
  (($#)) && targets=(--target "$@")
  log "build: $preset${*:+ ($*)}"
  cmake --preset "$preset" -S "$ROOT" >/dev/null
  cmake --build --preset "$preset" -j "$JOBS" "${targets[@]}"
}

# Creates the Wine prefix once and keeps one wine server (with Wine's own
# services) alive for the session, detached from our output pipes so that a
# test runner never waits on them.
start_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating the Wine prefix"
    wineboot -i </dev/null >/dev/null 2>&1 || true
  fi
  wineserver -p </dev/null >/dev/null 2>&1 || true  # already running is fine
  wine wineboot </dev/null >/dev/null 2>&1 || true
  # No debugger for crashing programs: Wine's would wait for a person, and
  # a crash must end the process (the host's own filter writes its report).
  wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
    </dev/null >/dev/null 2>&1 || true
}

stop_wine() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
}

# Runs ctest in one build folder, remembers its counts, never aborts.
TOTAL_PASSED=0
TOTAL_FAILED=0
SUMMARY=()
run_ctest() {
  local name=$1 dir=$2
  shift 2
  log "tests: $name"
  local out=$BUILD/ctest-$name.log
  (cd "$dir" && ctest --output-on-failure "$@") 2>&1 | tee "$out" || true
  count_ctest "$name" "$out"
}

# Adds the counts of the ctest output in file $2 under the name $1.
count_ctest() {
  local name=$1 out=$2
  local line passed failed total
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$out" | tail -n 1 || true)
  if [ -z "$line" ]; then
    SUMMARY+=("$name: no result")
    TOTAL_FAILED=$((TOTAL_FAILED + 1))
    return
  fi
  failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((total - failed))
  TOTAL_PASSED=$((TOTAL_PASSED + passed))
  TOTAL_FAILED=$((TOTAL_FAILED + failed))
  SUMMARY+=("$name: $passed passed, $failed failed")
}

# Everything that needs a display runs inside one xvfb-run.
in_display() {
  if [ -n "${VELORA_IN_DISPLAY:-}" ]; then
    "$@"
  else
    VELORA_IN_DISPLAY=1 xvfb-run -a -s "-screen 0 $SCREEN" "$@"
  fi
}

# The screen's cases of the Windows build on the second screen, in an X
# server and a Wine prefix of their own.
run_second_screen_tests() {
  local name=windows-${SECOND_SCREEN%x*}-${SECOND_DPI}dpi start=$SECONDS
  log "tests: $name"
  local out=$BUILD/ctest-$name.log
  # -noreset: the work area set on the root window outlives its client.
  VELORA_WINEPREFIX=$BUILD/wineprefix-$name xvfb-run -a -s "-screen 0 $SECOND_SCREEN -noreset" \
    "$0" _second_screen_inner 2>&1 | tee "$out" || true
  count_ctest "$name" "$out"
  log "$name: $((SECONDS - start)) s"
}

cmd_second_screen_inner() {
  # Wine takes the work area from the root window, as a window manager
  # would set it.
  xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA "$SECOND_WORK_AREA"
  start_wine
  local key='HKCU\Control Panel\Desktop' dpi
  dpi=$(printf '0x%x' "$SECOND_DPI")
  if ! wine reg query "$key" /v LogPixels </dev/null 2>/dev/null | grep -qi "$dpi"; then
    wine reg add "$key" /v LogPixels /t REG_DWORD /d "$SECOND_DPI" /f </dev/null >/dev/null 2>&1
    stop_wine  # Wine reads the DPI when a process starts
    start_wine
  fi
  (cd "$BUILD/windows" && ctest --output-on-failure -R "$SECOND_SCREEN_CASES") || true
  stop_wine
}

# The Windows build through a second compiler (clang 14, lld), so that code
# one compiler accepts and another rejects, or builds differently, shows up.
build_windows_clang() {
  local start=$SECONDS
  configure_and_build windows-clang
  log "windows-clang build: $((SECONDS - start)) s"
}

# From the clang build, what a second compiler can break: the real executable
# end to end (with its export table), the hostile table and injected faults
# through it, and the embedder header's C view. Its unit tests ran already
# with the GCC build.
run_windows_clang_tests() {
  run_ctest windows-clang "$BUILD/windows-clang" -L 'e2e|embedder' -E '^e2e\.(demo|real_input)$'
  # Its packages too: what the zip ships is stripped, hardened and has its
  # PDB files in the symbols zip.
  run_ctest windows-clang-packages "$BUILD/windows-clang" -R '^packaging\.hardening$'
}

# clang-tidy over the product code (.clang-tidy); a finding fails the run.
run_clang_tidy() {
  log "clang-tidy"
  local start=$SECONDS out=$BUILD/clang-tidy.log
  if "$ROOT/scripts/clang-tidy-check" "$BUILD/native" "$BUILD/windows-clang" >"$out" 2>&1; then
    TOTAL_PASSED=$((TOTAL_PASSED + 1))
    SUMMARY+=("clang-tidy: no findings")
  else
    cat "$out"
    TOTAL_FAILED=$((TOTAL_FAILED + 1))
    SUMMARY+=("clang-tidy: $(tail -n 1 "$out") ($out)")
  fi
  log "clang-tidy: $((SECONDS - start)) s"
}

cmd_test() {
  setup
  configure_and_build native
  configure_and_build native-asan
  # Its run takes the tsan cases only.
  configure_and_build native-tsan tests_tsan
  configure_and_build fuzz
  configure_and_build windows
  build_test_kit
  build_windows_clang
  VELORA_IN_DISPLAY= in_display "$0" _test_inner
}

cmd_test_inner() {
  # The test kit's cases, like the Wine runs below, mostly wait on Wine:
  # it runs meanwhile, in an X server and a Wine prefix of its own.
  start_test_kit
  run_ctest native "$BUILD/native"
  run_ctest native-asan "$BUILD/native-asan"
  # ThreadSanitizer: the tests where threads meet.
  run_ctest native-tsan "$BUILD/native-tsan" -L tsan
  run_ctest fuzz "$BUILD/fuzz"
  run_clang_tidy
  start_wine
  # The Google Test cases of the Windows build run once, through the test
  # kit (start_test_kit); ctest runs the rest of that build here.
  run_ctest windows "$BUILD/windows" -LE 'kit|packaging'
  run_windows_clang_tests
  stop_wine
  run_second_screen_tests
  finish_test_kit
  run_packaging_tests
  echo
  echo "== test counts"
  printf '%s\n' "${SUMMARY[@]}"
  echo "total: $TOTAL_PASSED passed, $TOTAL_FAILED failed"
  echo "$TOTAL_PASSED passed, $TOTAL_FAILED failed"
  [ "$TOTAL_FAILED" -eq 0 ]
}

# What we ship, as shipped: the zip, the installer and the prebuilt-engine
# path, each in a fresh Wine prefix of its own (the tests make them), so no
# shared wine server runs meanwhile, and two at a time.
run_packaging_tests() {
  run_ctest packaging "$BUILD/windows" -L packaging -j 2
}

build_test_kit() {
  log "build: test kit"
  cmake --build "$BUILD/windows" --target test_kit
}

# The test kit for real Windows, run here as there (cmd /c run_tests.cmd)
# from an unzipped copy in a fresh prefix, in the background; its own count
# joins the totals when it is finished.
TEST_KIT_PID=
TEST_KIT_START=0
start_test_kit() {
  log "tests: test kit (in the background)"
  TEST_KIT_START=$SECONDS
  xvfb-run -a -s "-screen 0 $SCREEN" bash "$ROOT/tests/packaging/test_kit_test.sh" \
    "$BUILD"/windows/velora-tests-*-win64.zip </dev/null >"$BUILD/test-kit.log" 2>&1 &
  TEST_KIT_PID=$!
}

finish_test_kit() {
  log "tests: test kit (waiting for it)"
  local out=$BUILD/test-kit.log line passed failed
  wait "$TEST_KIT_PID" || true
  cat "$out"
  log "test kit: $((SECONDS - TEST_KIT_START)) s"
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$out" | tail -n 1 || true)
  if [ -z "$line" ] || grep -q '^FAIL: ' "$out"; then
    SUMMARY+=("test kit: no result or a failure (see $out)")
    TOTAL_FAILED=$((TOTAL_FAILED + 1))
  fi
  if [ -n "$line" ]; then
    passed=${line%% passed*}
    failed=${line#*, }
    failed=${failed%% failed}
    TOTAL_PASSED=$((TOTAL_PASSED + passed))
    TOTAL_FAILED=$((TOTAL_FAILED + failed))
    SUMMARY+=("test kit (windows cases): $passed passed, $failed failed")
  fi
}

# The packages of the Windows build: CPack's zip and installer.
cmd_package() {
  setup
  configure_and_build windows
  log "package"
  (cd "$BUILD/windows" && cpack)
  build_test_kit
  ls -l "$BUILD"/windows/velora-*-win64*.{zip,exe}
}

cmd_run() {
  setup
  configure_and_build windows
  if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    # A real display: the window opens there and the user closes it.
    VELORA_IN_DISPLAY=1 "$0" _run_inner "$@"
  else
    # Headless: a virtual screen for a set time, then a screenshot.
    VELORA_IN_DISPLAY= in_display "$0" _run_inner --headless "$@"
  fi
}

# Wine leaves the title bar to its own theme; give it the colours the host
# asks the system for (black caption, light text), as Windows would show.
dark_title_bar() {
  local key='HKCU\Control Panel\Colors' name value
  for name in ActiveTitle GradientActiveTitle InactiveTitle GradientInactiveTitle ActiveBorder \
              InactiveBorder; do
    wine reg add "$key" /v "$name" /d "0 0 0" /f </dev/null >/dev/null 2>&1 || true
  done
  for name in TitleText InactiveTitleText; do
    wine reg add "$key" /v "$name" /d "242 242 242" /f </dev/null >/dev/null 2>&1 || true
  done
}

cmd_run_inner() {
  local headless=0 seconds=""
  if [ "${1:-}" = "--headless" ]; then
    headless=1
    shift
  fi
  if [ "${1:-}" = "--seconds" ]; then
    seconds=$2
    shift 2
  fi
  [ "$headless" = 1 ] && seconds=${seconds:-${VELORA_RUN_SECONDS:-12}}
  start_wine
  dark_title_bar
  wineserver -k </dev/null >/dev/null 2>&1 || true  # colours are read at start-up
  start_wine
  local status=0 temp shot=$BUILD/screenshot.png out=$BUILD/run_host.out
  temp=$WINEPREFIX/drive_c/users/$(whoami)/Temp
  if [ "$headless" = 1 ]; then
    # A Wine virtual desktop draws the frame itself, as a window manager would.
    (cd "$BUILD/windows/bin" && wine explorer /desktop=Ondexa,2100x1320 run_host.exe \
      --seconds "$seconds" "$@" </dev/null >"$out" 2>&1) &
    local runner=$!
    sleep $((seconds > 4 ? seconds - 3 : 1))
    local desktop
    desktop=$(xdotool search --name '^Ondexa - Wine desktop$' 2>/dev/null | head -n 1 || true)
    if [ -n "$desktop" ]; then
      import -window "$desktop" "$shot" 2>/dev/null || true
    fi
    wait "$runner" || true
    cat "$out"
    status=$(sed -nE 's/^run_host: host exited with (-?[0-9]+).*/\1/p' "$out" | tail -n 1)
    status=${status:-1}
  else
    (cd "$BUILD/windows/bin" && wine run_host.exe ${seconds:+--seconds "$seconds"} "$@") ||
      status=$?
  fi
  stop_wine
  echo "host exit code: $status"
  echo "run log:        $temp/velora_runner.log"
  echo "GPU plugin log: $temp/velora_gpu_texture_plugin.log"
  [ "$headless" = 1 ] && [ -f "$shot" ] && echo "screenshot:     $shot"
  [ "$status" = 0 ]
}

# The performance report: every benchmark with the baselines it runs in the
# same process, then callgrind's instruction counts of the per-call paths
# against their budgets.
cmd_perf() {
  setup >&2
  configure_and_build native >&2  # the report alone goes to standard output
  local bench=$BUILD/native/benchmarks
  echo "# Performance report"
  echo
  echo "- date: $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "- machine: $(uname -srm); $(nproc) cores;$(sed -n 's/^model name[[:space:]]*://p' /proc/cpuinfo | head -n 1)"
  echo "- commit: $(git -C "$ROOT" rev-parse --short HEAD 2>/dev/null || echo unknown)"
  local binary
  for binary in "$bench"/*_benchmark; do
    [ -x "$binary" ] || continue
    echo
    echo "## $(basename "$binary")"
    echo
    echo '```'
    "$binary" --benchmark_min_time="${VELORA_BENCHMARK_MIN_TIME:-0.3}" 2>&1
    echo '```'
  done
  echo
  echo "## Instructions (callgrind) and allocations per call against the budgets in benchmarks/budgets.txt"
  echo
  echo '```'
  bash "$ROOT/benchmarks/instruction_counts.sh" "$bench/callgrind_driver" \
    "$ROOT/benchmarks/budgets.txt"
  echo '```'
}

case "${1:-}" in
  run) shift; cmd_run "$@" ;;
  perf) shift; cmd_perf "$@" ;;
  package) shift; cmd_package "$@" ;;
  test) shift; cmd_test "$@" ;;
  _test_inner) shift; cmd_test_inner "$@" ;;
  _second_screen_inner) shift; cmd_second_screen_inner "$@" ;;
  _run_inner) shift; cmd_run_inner "$@" ;;
  *)
    echo "usage: $0 run [--seconds N] | test | perf | package" >&2
    exit 2
    ;;
esac
