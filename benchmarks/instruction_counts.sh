#!/usr/bin/env bash
# Instructions and heap allocations per call of the host's per-call paths,
# counted by callgrind and by the driver itself, against the budgets in
# budgets.txt.
#
#   instruction_counts.sh [--check] DRIVER BUDGETS
#
# For each budget line the driver runs the path twice, with FEW and MANY calls;
# the difference divided by the difference in calls is the cost of one call,
# one-time costs (first use of a codec, the first log lines) dropping out.
# Instructions are those callgrind collects inside the named function;
# allocations ("allocations" in place of a function) are the driver's own
# count, and a path "A-B" counts A's less B's. Prints one line per budget; with
# --check, exits non-zero when an instruction count exceeds its budget by more
# than 10 %, or an allocation count its budget at all.
set -euo pipefail

check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi
driver=${1:?driver binary}
budgets=${2:?budgets file}
FEW=${VELORA_CALLGRIND_FEW:-1000}
MANY=${VELORA_CALLGRIND_MANY:-6000}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Instructions collected inside FUNCTION while PATH runs CALLS times.
instructions() {
  local path=$1 function=$2 calls=$3
  local out=$work/callgrind.out
  if ! valgrind --tool=callgrind --callgrind-out-file="$out" "--toggle-collect=$function" \
      "$driver" "$path" "$calls" >"$work/stdout" 2>"$work/stderr"; then
    echo "callgrind run of '$path' failed:" >&2
    cat "$work/stderr" >&2
    return 1
  fi
  awk '/^summary:/ { print $2; found = 1 } END { if (!found) exit 1 }' "$out"
}

# Heap allocations made while PATH runs CALLS times.
allocations() {
  local path=$1 calls=$3
  if ! "$driver" "$path" "$calls" >"$work/stdout" 2>"$work/stderr"; then
    echo "run of '$path' failed:" >&2
    cat "$work/stderr" >&2
    return 1
  fi
  awk '/^allocations / { print $2; found = 1 } END { if (!found) exit 1 }' "$work/stdout"
}

# The cost of one call of PATH (or of A less B for "A-B"), rounded.
per_call() {
  local paths=$1 function=$2 measure=instructions total=0 sign=1 path few many
  [ "$function" = allocations ] && measure=allocations
  for path in ${paths/-/ }; do
    few=$($measure "$path" "$function" "$FEW")
    many=$($measure "$path" "$function" "$MANY")
    total=$((total + sign * (many - few)))
    sign=-1
  done
  echo $(((total + (MANY - FEW) / 2) / (MANY - FEW)))
}

printf '%-24s %-28s %10s %8s %7s  %s\n' name driver per_call budget ratio result
failed=0
while read -r name path function budget; do
  case "$name" in '' | '#'*) continue ;; esac
  count=$(per_call "$path" "$function")
  ratio=$(awk -v c="$count" -v b="$budget" 'BEGIN { printf "%.2f", c / b }')
  result=ok
  if [ "$function" = allocations ]; then
    if ((count > budget)); then
      result="OVER BUDGET (an allocation more)"
      failed=1
    fi
  elif ((count * 100 > budget * 110)); then
    result="OVER BUDGET (more than 10 %)"
    failed=1
  fi
  printf '%-24s %-28s %10d %8d %7s  %s\n' "$name" "$path" "$count" "$budget" "$ratio" "$result"
done <"$budgets"

if ((check && failed)); then
  exit 1
fi
