#!/usr/bin/env bash
# Builds the benchmarks in Release (build-bench/) and prints their table:
# each figure beside its floor or reference and its target.
#
#   scripts/bench.sh [--quick] [--stream-seconds N] [--hold-seconds N] [FIGURE...]
#       FIGURE  press repeat notify stream startup idle (default: all)
#
# Without FIGUREs the figures of the panel on a network serial server
# (orva-net-bench: RFC 2217 through a real ser2net), of orva-ctl and of
# orva-hub follow.
# The figures are real time on this machine: run it on a quiet machine, and
# read them with the load in mind. The full run takes a few minutes, the
# hub's thousand projectors alone about a minute and a half.
# The table is measured on Qt's offscreen platform, which has no window
# system at all; where xvfb-run is found the start-up figure is measured a
# second time on an X server, where the bare window too pays for its
# connection and its window, as on an operator's desktop.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
dir="$top/build-bench"
"$top/scripts/build.sh" bench orva-bench orva-net-bench orva-ctl-bench orva-hub-bench >/dev/null
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
"$dir/bench/orva-bench" "$@" || status=$?

quick=() figures=0 startup=0 skip=0
for arg in "$@"; do
  if ((skip)); then skip=0; continue; fi
  case $arg in
    --quick) quick=(--quick) ;;
    --stream-seconds|--hold-seconds) skip=1 ;;
    --*) ;;
    startup) figures=1 startup=1 ;;
    *) figures=1 ;;
  esac
done
if ! ((figures)); then
  echo
  echo "on a network serial server (RFC 2217 through ser2net on 127.0.0.1):"
  "$dir/bench/orva-net-bench" "${quick[@]}" || status=$?
fi
if { ((startup)) || ! ((figures)); } && command -v xvfb-run >/dev/null; then
  echo
  echo "start-up again, on an X server (Xvfb):"
  xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb \
    "$dir/bench/orva-bench" "${quick[@]}" startup || status=$?
fi
if ! ((figures)); then
  echo
  "$dir/bench/orva-ctl-bench" "${quick[@]}" || status=$?
  echo
  "$dir/bench/orva-hub-bench" "${quick[@]}" || status=$?
fi
exit $status
