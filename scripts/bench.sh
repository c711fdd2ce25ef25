#!/usr/bin/env bash
# Builds the benchmarks in Release (build-bench/) and prints their table:
# each figure beside its floor or reference and its target.
#
#   scripts/bench.sh [--quick] [--stream-seconds N] [--hold-seconds N] [FIGURE...]
#       FIGURE  press repeat notify stream startup idle (default: all)
#
# The figures are real time on this machine: run it on a quiet machine, and
# read them with the load in mind. The full run takes about two minutes.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
dir="$top/build-bench"
cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" --target orva-bench >/dev/null
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
exec "$dir/bench/orva-bench" "$@"
