#!/usr/bin/env bash
# Builds everything and runs every test: first the normal build, then the
# same suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
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
exit $status
