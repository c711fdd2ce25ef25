#!/usr/bin/env bash
# Configures and builds through a CMake preset (see CMakePresets.json):
#   scripts/build.sh [PRESET [TARGET...]]
# PRESET defaults to "default", which builds into build/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-default}
shift || true
cd "$top"
cmake --preset "$preset" >/dev/null
if [ $# -gt 0 ]; then
  cmake --build --preset "$preset" --target "$@"
else
  cmake --build --preset "$preset"
fi
