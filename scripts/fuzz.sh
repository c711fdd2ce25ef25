#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each in turn.
#
#   scripts/fuzz.sh [LIMIT] [TARGET...]
#       LIMIT   how long each target runs: a number of executions (10000000)
#               or a time with a unit (90s, 10m); default 60s
#       TARGET  one of those listed in fuzz/targets.txt (default: all)
#
# The build goes to build-fuzz/. Each target starts from its seeds in
# fuzz/corpus/<target>/ plus what earlier runs found (build-fuzz/corpus/);
# a failing input is kept in build-fuzz/artifacts/ and the script exits 1.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
me=$(basename "$0")
mapfile -t all < "$top/fuzz/targets.txt"

limit=${1:-60s}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

case $limit in
*s) budget=(-max_total_time="${limit%s}") ;;
*m) budget=(-max_total_time=$((${limit%m} * 60))) ;;
*[!0-9]* | '')
    echo "usage: $me [RUNS | SECONDSs | MINUTESm] [TARGET...]" >&2
    exit 2
    ;;
*) budget=(-runs="$limit") ;;
esac

"$top/scripts/install-deps.sh"
dir="$top/build-fuzz"
"$top/scripts/build.sh" fuzz "${targets[@]}"

mkdir -p "$dir/artifacts"
# A smaller quarantine than the default keeps the resident size (and the
# page faults that come with it) down; use-after-free is still caught.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:quarantine_size_mb=16
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
summary=()
for t in "${targets[@]}"; do
    corpus="$dir/corpus/$t"
    mkdir -p "$corpus"
    log="$dir/artifacts/$t.log"
    echo "=== $t (${budget[*]})"
    result=ok
    # New inputs go to the first folder only; the seeds stay as they are.
    # Slow inputs (replies that fill the buffer to its bound) get less time,
    # so the run covers more ground per second.
    "$dir/fuzz/$t" "${budget[@]}" -entropic_scale_per_exec_time=1 -print_final_stats=1 -artifact_prefix="$dir/artifacts/$t-" \
        "$corpus" "$top/fuzz/corpus/$t" >"$log" 2>&1 || result=FAILED
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    if [ $result != ok ]; then
        status=1
        grep -E '^(==[0-9]+==ERROR|SUMMARY|.*property does not hold|.*runtime error)' "$log" | head -5 || true
        echo "    (full log: $log)"
    fi
    summary+=("$(printf '%-22s %14s %10s  %s' "$t" "${execs:-?}" "${rate:-?}" "$result")")
done

echo
printf '%-22s %14s %10s  %s\n' target executions 'execs/s' result
printf '%s\n' "${summary[@]}"
exit $status
