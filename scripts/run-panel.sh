#!/usr/bin/env bash
# Builds everything and starts the panel.
#
#   scripts/run-panel.sh [PANEL-OPTION...] [-- SIMULATOR-OPTION...]
#       Starts the simulated projector on a new pseudo-terminal, starts the
#       panel with that device as COM1, and stops the simulator when the
#       panel ends. Simulator options after "--", e.g. "-- --delay 800".
#
#   scripts/run-panel.sh --real [PANEL-OPTION...]
#       Starts the panel on real serial devices, e.g.
#       "--real --com1 /dev/ttyUSB0" (default COM1 is /dev/ttyS0).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
me=$(basename "$0")

usage() {
    cat <<EOF
Usage: $me [PANEL-OPTION...] [-- SIMULATOR-OPTION...]
       $me --real [PANEL-OPTION...]

Builds the panel and starts it. Without --real it talks to a simulated
projector that this script starts on a pseudo-terminal and stops when the
panel ends; options after "--" go to the simulator (see
build/tools/projector-sim/orva-projector-sim --help), for example
  $me -- --warmup 2000 --delay 800
With --real it talks to the serial devices given by --com1/--com2, e.g.
  $me --real --com1 /dev/ttyUSB0
Panel options: --com2 DEVICE (and --com1 DEVICE with --real).
EOF
}

real=0
panel_args=()
sim_args=()
while [ $# -gt 0 ]; do
    case $1 in
    --real) real=1 ;;
    -h | --help)
        usage
        exit 0
        ;;
    --)
        shift
        sim_args=("$@")
        break
        ;;
    *) panel_args+=("$1") ;;
    esac
    shift
done

# The devices named by --com1/--com2 (or their defaults) in panel_args.
devices=()
com1_given=0
for ((i = 0; i < ${#panel_args[@]}; i++)); do
    case ${panel_args[i]} in
    --com1 | --com2)
        [ "${panel_args[i]}" = --com1 ] && com1_given=1
        [ $((i + 1)) -lt ${#panel_args[@]} ] && devices+=("${panel_args[i + 1]}")
        ;;
    --com1=*) com1_given=1 && devices+=("${panel_args[i]#--com1=}") ;;
    --com2=*) devices+=("${panel_args[i]#--com2=}") ;;
    esac
done

if [ $real = 0 ] && [ $com1_given = 1 ]; then
    echo "$me: COM1 is the simulated projector; use --real to run on a serial device" >&2
    exit 2
fi
if [ $real = 1 ] && [ ${#sim_args[@]} -gt 0 ]; then
    echo "$me: simulator options make no sense with --real" >&2
    exit 2
fi

"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" default orva-panel orva-projector-sim
panel="$top/build/src/apps/orva-panel"

if [ $real = 1 ]; then
    [ $com1_given = 1 ] || devices+=(/dev/ttyS0)
    for dev in "${devices[@]}"; do
        if [ -e "$dev" ] && ! [ -r "$dev" -a -w "$dev" ]; then
            echo "$me: no read/write access to $dev. Serial devices usually belong to the" \
                "'dialout' group: run 'sudo adduser $USER dialout', then log out and in again." >&2
        fi
    done
    exec "$panel" "${panel_args[@]}"
fi

sim="$top/build/tools/projector-sim/orva-projector-sim"
tmp=$(mktemp -d)
sim_pid=
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The simulator prints its device on its first line.
mkfifo "$tmp/device"
"$sim" "${sim_args[@]}" >"$tmp/device" &
sim_pid=$!
exec 3<"$tmp/device"
if ! read -r -t 30 device <&3 || [ -z "$device" ]; then
    status=0
    wait "$sim_pid" || status=$?
    sim_pid=
    echo "$me: the simulated projector did not start" >&2
    exit $((status ? status : 1))
fi
echo "$me: simulated projector on $device (the panel's COM1)" >&2

status=0
"$panel" --com1 "$device" "${panel_args[@]}" || status=$?
exit $status
