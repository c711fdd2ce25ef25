#!/usr/bin/env bash
# Builds everything and runs every test, through the CMake workflow presets
# (CMakePresets.json): first the normal build (build/), then the style
# check, then the same suite built with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-sanitize/), then a short run of each
# fuzz target built with clang (build-fuzz/). The normal build also runs a
# 30 s soak (label soak) and a smoke run of the benchmarks (label bench).
# Then the programs are built once more without presets, as most people
# first try it: with the Unix Makefiles generator (build-make/), without the
# tests; and Ninja Multi-Config (build-multi/) makes the files of the
# packages, the custom commands that differ between generators.
# ORVA_SKIP_SANITIZERS=1, ORVA_SKIP_FUZZ=1 and ORVA_SKIP_GENERATORS=1 leave
# those stages out.
# Exits non-zero when anything fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
cd "$top"

status=0
workflow() {
  echo "=== workflow $1"
  cmake --workflow --preset "$1" || status=1
}

workflow default
echo "=== style"
"$top/scripts/check-style.sh" "$top/build" || status=1
[ "${ORVA_SKIP_SANITIZERS:-0}" = 1 ] || workflow sanitize
[ "${ORVA_SKIP_FUZZ:-0}" = 1 ] || workflow fuzz
generator() { # FOLDER GENERATOR BUILD-OPTION...
  echo "=== plain CMake, $2"
  { cmake -S "$top" -B "$top/$1" -G "$2" -DORVA_BUILD_TESTS=OFF >/dev/null &&
    cmake --build "$top/$1" -j2 "${@:3}"; } || status=1
}
if [ "${ORVA_SKIP_GENERATORS:-0}" != 1 ]; then
  generator build-make "Unix Makefiles"
  generator build-multi "Ninja Multi-Config" --config Release --target orva_packaging_files
fi
exit $status
