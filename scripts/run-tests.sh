#!/usr/bin/env bash
# Builds everything and runs every test: first the normal build, then the
# same suite built with AddressSanitizer and UndefinedBehaviorSanitizer, then
# a short run of each fuzz target (clang). The normal build also runs a 30 s
# soak (label soak) and a smoke run of the benchmarks (label bench).
# ORVA_SKIP_SANITIZERS=1 and ORVA_SKIP_FUZZ=1 leave those stages out.
# Exits non-zero when anything fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

status=0
run_suite() {
  local dir=$1; shift
  echo "=== $(basename "$dir"): build"
  "$top/scripts/build.sh" "$dir" "$@"
  echo "=== $(basename "$dir"): test"
  (cd "$dir" && ctest --output-on-failure --timeout 300) || status=1
}

run_suite "$top/build"
echo "=== style"
"$top/scripts/check-style.sh" "$top/build" || status=1
if [ "${ORVA_SKIP_SANITIZERS:-0}" != 1 ]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  # Qt's font and GLib start-up code keeps a few allocations for the life
  # of the process; those are not ours.
  export LSAN_OPTIONS=suppressions="$top/tests/lsan.supp":print_suppressions=0
  run_suite "$top/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DORVA_SANITIZE=ON
fi
if [ "${ORVA_SKIP_FUZZ:-0}" != 1 ]; then
  # The fuzz targets, built with clang, each run briefly over its seeds
  # (scripts/fuzz.sh runs them for real).
  echo "=== build-fuzz: build"
  CC=clang CXX=clang++ cmake -S "$top" -B "$top/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVA_FUZZ=ON >/dev/null
  cmake --build "$top/build-fuzz" --target fuzz_all
  echo "=== build-fuzz: short fuzz runs"
  (cd "$top/build-fuzz" && ctest -L fuzz --output-on-failure --timeout 300) || status=1
fi
exit $status
