#!/usr/bin/env bash
# Builds everything and starts the panel.
#
#   scripts/run-panel.sh [PANEL-OPTION...] [-- SIMULATOR-OPTION...]
#       Starts the simulated projector on a new pseudo-terminal, starts the
#       panel with that device as COM1, and stops the simulator when the
#       panel ends. Simulator options after "--", e.g. "-- --delay 800".
#
#   scripts/run-panel.sh --network [PANEL-OPTION...] [-- SIMULATOR-OPTION...]
#       The same, with a real ser2net on 127.0.0.1 between the panel and
#       the simulated projector: the panel's COM1 is
#       rfc2217://127.0.0.1:PORT. ser2net is stopped with the simulator.
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
       $me --network [PANEL-OPTION...] [-- SIMULATOR-OPTION...]
       $me --real [PANEL-OPTION...]

Builds the panel and starts it. Without --real it talks to a simulated
projector that this script starts on a pseudo-terminal and stops when the
panel ends; options after "--" go to the simulator (see
build/tools/projector-sim/orva-projector-sim --help), for example
  $me -- --warmup 2000 --delay 800
With --network a real ser2net on 127.0.0.1 stands between the panel and
the simulated projector, and the panel's COM1 is rfc2217://127.0.0.1:PORT.
With --real it talks to the serial devices given by --com1/--com2, e.g.
  $me --real --com1 /dev/ttyUSB0
Panel options: --com2 DEVICE (and --com1 DEVICE with --real).
EOF
}

real=0
network=0
panel_args=()
sim_args=()
while [ $# -gt 0 ]; do
    case $1 in
    --real) real=1 ;;
    --network) network=1 ;;
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
if [ $real = 1 ] && [ $network = 1 ]; then
    echo "$me: --real and --network exclude each other" >&2
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
ser2net_pid=
cleanup() {
    if [ -n "$ser2net_pid" ]; then
        kill -TERM "$ser2net_pid" 2>/dev/null || true
        wait "$ser2net_pid" 2>/dev/null || true
    fi
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
if [ $network = 0 ]; then
    echo "$me: simulated projector on $device (the panel's COM1)" >&2
    status=0
    "$panel" --com1 "$device" "${panel_args[@]}" || status=$?
    exit $status
fi

# Whether something listens on 127.0.0.1:PORT, looked up without connecting
# (ser2net takes one connection a port).
listening() {
    awk -v a="$(printf '0100007F:%04X' "$1")" '$2 == a && $4 == "0A" { f = 1 } END { exit !f }' /proc/net/tcp
}
port=
for p in $(seq 20217 20317); do
    if ! listening "$p"; then
        port=$p
        break
    fi
done
[ -n "$port" ] || { echo "$me: no free port on 127.0.0.1 from 20217 to 20317" >&2; exit 1; }
cat >"$tmp/ser2net.yaml" <<EOF
%YAML 1.1
---
# The simulated projector's pseudo-terminal on 127.0.0.1:$port: Telnet with
# RFC 2217 port control; the line starts at 19200 8N1 and follows the panel.
connection: &projector
  accepter: telnet(rfc2217),tcp,127.0.0.1,$port
  connector: serialdev,$device,19200n81,local
EOF
# In the foreground, without UUCP lock files, with a pid file of its own.
ser2net -n -u -P "$tmp/ser2net.pid" -c "$tmp/ser2net.yaml" >"$tmp/ser2net.log" 2>&1 &
ser2net_pid=$!
for _ in $(seq 100); do
    listening "$port" && break
    kill -0 "$ser2net_pid" 2>/dev/null || break
    sleep 0.1
done
if ! listening "$port"; then
    echo "$me: ser2net did not start:" >&2
    cat "$tmp/ser2net.log" >&2
    exit 1
fi
echo "$me: simulated projector on $device behind ser2net; the panel's COM1 is rfc2217://127.0.0.1:$port" >&2
echo "$me: ser2net configuration ($tmp/ser2net.yaml):" >&2
sed 's/^/    /' "$tmp/ser2net.yaml" >&2
status=0
"$panel" --com1 "rfc2217://127.0.0.1:$port" "${panel_args[@]}" || status=$?
exit $status
