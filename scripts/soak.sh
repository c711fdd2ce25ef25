#!/usr/bin/env bash
# Soak: the panel against the simulated projector on a noisy line, an arrow
# held at the 5 ms repeat, for SECONDS (default 600). Prints the resident
# size at the start and the end, the frames against the cadence and how
# quickly the panel still answers; exits 1 when memory grew, the panel
# stopped answering or the frames fell outside the cadence.
#
#   scripts/soak.sh [SECONDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
case $seconds in
'' | *[!0-9]*)
    echo "usage: $(basename "$0") [SECONDS]" >&2
    exit 2
    ;;
esac
"$top/scripts/install-deps.sh"
dir="$top/build"
"$top/scripts/build.sh" default orva-soak >/dev/null
exec "$dir/bench/orva-soak" "$seconds"
