#!/usr/bin/env bash
# Builds the panel and starts it. Extra arguments go to the panel, e.g.
#   scripts/run-panel.sh --com1 /dev/ttyUSB0
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build"
exec "$top/build/src/orva-panel" "$@"
