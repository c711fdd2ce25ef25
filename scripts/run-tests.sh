#!/usr/bin/env bash
# Builds everything and runs every test, through the CMake presets
# (CMakePresets.json): first the normal build (build/) and its suite, then
# the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-sanitize/, with the Unix Makefiles generator, so that both
# generators build every target), then a short run of each fuzz target
# built with clang (build-fuzz/). The normal build also runs a 30 s soak
# (label soak) and a smoke run of the benchmarks (label bench).
# The style check (clang-format, clang-tidy) runs beside the normal suite,
# and the fuzz build beside the sanitizer suite, each at the lowest CPU
# priority: those suites mostly wait on pseudo-terminals, servers and
# timers, so the machine's idle time does the other work, and a test that
# needs the CPU still gets it first.
# Last, the packages' files are made without presets, as most people first
# try it, with Unix Makefiles (build-make/) and Ninja Multi-Config
# (build-multi/): the custom commands are what differ between generators.
# ORVA_SKIP_SANITIZERS=1, ORVA_SKIP_FUZZ=1 and ORVA_SKIP_GENERATORS=1 leave
# those stages out.
# Exits non-zero when anything fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
cd "$top"
jobs=$(nproc)
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$jobs}

status=0
started=$SECONDS
stage() { echo "=== $1 (at $((SECONDS - started)) s)"; }
build_preset() { # PRESET
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}
# One job at a time in the background at the lowest priority, its output
# kept and shown once it is over: `aside NAME COMMAND...`, then `settle`.
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
aside_pid='' aside_name=''
aside() {
  aside_name=$1
  shift
  (renice -n 19 -p "$BASHPID" >/dev/null && "$@") >"$logs/$aside_name" 2>&1 &
  aside_pid=$!
}
settle() { # returns the job's status
  local result=0
  wait "$aside_pid" || result=$?
  aside_pid=''
  echo "=== $aside_name, its output"
  cat "$logs/$aside_name"
  return $result
}
fuzz=1 sanitize=1
[ "${ORVA_SKIP_FUZZ:-0}" != 1 ] || fuzz=0
[ "${ORVA_SKIP_SANITIZERS:-0}" != 1 ] || sanitize=0

stage "normal build"
if build_preset default; then
  stage "normal suite, the style check beside it"
  aside style "$top/scripts/check-style.sh" "$top/build"
  ctest --preset default -j "$jobs" || status=1
  settle || status=1
else
  status=1
fi

if [ $sanitize = 1 ]; then
  stage "sanitizer build"
  if build_preset sanitize; then
    stage "sanitizer suite"
    [ $fuzz = 0 ] || aside "fuzz build" build_preset fuzz
    ctest --preset sanitize -j "$jobs" || status=1
  else
    status=1
  fi
fi
if [ $fuzz = 1 ]; then
  if [ -z "$aside_pid" ]; then
    stage "fuzz build"
    aside "fuzz build" build_preset fuzz
  fi
  if settle; then
    stage "fuzz runs"
    ctest --preset fuzz || status=1
  else
    status=1
  fi
fi

generator() { # FOLDER GENERATOR BUILD-OPTION...
  stage "plain CMake, $2"
  { cmake -S "$top" -B "$top/$1" -G "$2" -DORVA_BUILD_TESTS=OFF >/dev/null &&
    cmake --build "$top/$1" "${@:3}"; } || status=1
}
if [ "${ORVA_SKIP_GENERATORS:-0}" != 1 ]; then
  generator build-make "Unix Makefiles" --target orva_packaging_files
  generator build-multi "Ninja Multi-Config" --config Release --target orva_packaging_files
fi
stage "done"
exit $status
