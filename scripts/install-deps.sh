#!/usr/bin/env bash
# Installs the Debian 12 packages the panel needs to build, run and test,
# when any of them is missing. Safe to run again; does nothing when all are in.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev libfontconfig-dev
  fonts-ipafont-gothic
  xvfb xauth ser2net
  clang clang-format clang-tidy libclang-rt-14-dev
  dpkg-dev desktop-file-utils appstream lintian man-db
)

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
