#!/usr/bin/env bash
# Installs the Debian 12 packages listed in debian-packages.txt (what the
# build needs) and debian-packages-tests.txt (what the tests add), beside
# this script, when any of them is missing. Safe to run again; does nothing
# when all are in.
set -euo pipefail

lists=("$(dirname "$0")"/debian-packages.txt "$(dirname "$0")"/debian-packages-tests.txt)
mapfile -t packages < <(sed 's/#.*//' "${lists[@]}" | tr -s ' \t' '\n' | grep .)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
