#!/usr/bin/env bash
# Checks orva-hub's systemd unit as systemd reads it, without installing it:
#   check-unit.sh UNIT PROGRAM
# systemd-analyze verify finds nothing to say (it exits 0 on an unknown key
# but names it), and systemd-analyze security --offline rates its exposure
# at 2.0 or below. The unit is read from a copy that runs PROGRAM (the
# built orva-hub) where it names /usr/bin/orva-hub, so that verify finds
# the program; the installed unit itself is verified by check-package.sh.
# And the status the hub ends with on a configuration that does not read is
# one the unit does not restart on, so a bad file is not tried every 5 s.
set -euo pipefail
unit=$1 program=$2
if ! command -v systemd-analyze >/dev/null; then
  echo "SKIP: systemd-analyze is not installed (Debian package systemd)"
  exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
sed "s|/usr/bin/orva-hub|$program|g" "$unit" >"$scratch/orva-hub.service"
status=0
said=$(systemd-analyze verify --man=no "$scratch/orva-hub.service" 2>&1) || status=1
[ -z "$said" ] || { echo "systemd-analyze verify: $said" && status=1; }
# --threshold is on a scale of 100: 20 is an exposure of 2.0.
systemd-analyze security --offline=true --threshold=20 --no-pager "$scratch/orva-hub.service" >"$scratch/security" 2>&1 ||
  { cat "$scratch/security" && status=1; }
grep 'Overall exposure level' "$scratch/security" || status=1
echo 'listen = "everywhere"' >"$scratch/bad.toml"
bad=0 && "$program" --check --config "$scratch/bad.toml" 2>/dev/null || bad=$?
prevented=$(sed -n 's/^RestartPreventExitStatus=//p' "$unit")
if [ "$bad" -eq 0 ] || [[ " $prevented " != *" $bad "* ]]; then
  echo "a bad configuration ends the hub with $bad; the unit prevents restarts on '$prevented'" && status=1
fi
exit $status
