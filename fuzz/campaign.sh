#!/usr/bin/env bash
# A long fuzzing campaign: each target in turn, one process at a time, for a
# given number of inputs, with the limits of the bounded runs in the test
# command (see README.md). Found inputs collect in BUILD/fuzz/campaign/TARGET,
# failing ones as BUILD/fuzz/campaign/TARGET-crash-... (and -timeout-, -oom-).
#
#   fuzz/campaign.sh BUILD RUNS_PER_TARGET [TARGET...]
#
# BUILD is a configured and built fuzz build (cmake --preset fuzz). Prints
# libFuzzer's final statistics per target; exits non-zero on a finding.
set -euo pipefail

build=${1:?fuzz build folder}
runs=${2:?inputs per target}
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(read_value decode_call decode_reply)
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

status=0
for target in "${targets[@]}"; do
  work=$build/fuzz/campaign/$target
  mkdir -p "$work"
  echo "== $target: $runs inputs"
  log=$build/fuzz/campaign/$target.log
  code=0
  nice -n 10 "$build/fuzz/${target}_fuzzer" -runs="$runs" -max_len=8192 -timeout=10 \
    -malloc_limit_mb=16 -rss_limit_mb=2048 -close_fd_mask=2 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz/campaign/$target-" "$work" "$source_dir/corpus/$target" \
    >"$log" 2>&1 || code=$?
  grep -E '^(stat::|Done |==[0-9]+==|SUMMARY|Test unit written)' "$log" || true
  if [ "$code" -ne 0 ]; then
    echo "== $target: FINDING, exit $code (see $log and $build/fuzz/campaign/$target-*)"
    status=1
  fi
done
exit "$status"
