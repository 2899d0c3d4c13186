#!/usr/bin/env bash
# Instructions per call of the host's per-call paths, counted by callgrind,
# against the budgets in budgets.txt.
#
#   instruction_counts.sh [--check] DRIVER BUDGETS
#
# For each budget line the driver runs the path twice, with FEW and MANY calls,
# collecting only inside the named function; the difference divided by the
# difference in calls is the cost of one call, one-time costs (first use of a
# codec, the first log lines) dropping out. Prints one line per path; with
# --check, exits non-zero when a count exceeds its budget by more than 10 %.
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
collected() {
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

printf '%-22s %-16s %12s %10s %8s  %s\n' path driver instr/call budget ratio result
failed=0
while read -r name path function budget; do
  case "$name" in ''|'#'*) continue ;; esac
  few=$(collected "$path" "$function" "$FEW")
  many=$(collected "$path" "$function" "$MANY")
  per_call=$(( (many - few + (MANY - FEW) / 2) / (MANY - FEW) ))
  ratio=$(awk -v c="$per_call" -v b="$budget" 'BEGIN { printf "%.2f", c / b }')
  result=ok
  if (( per_call * 100 > budget * 110 )); then
    result="OVER BUDGET (more than 10 %)"
    failed=1
  fi
  printf '%-22s %-16s %12d %10d %8s  %s\n' "$name" "$path" "$per_call" "$budget" "$ratio" "$result"
done <"$budgets"

if (( check && failed )); then
  exit 1
fi
