#!/usr/bin/env bash
# Installs the Debian packages of a finished build folder on this machine
# with apt-get, runs every program they put in /usr/bin with --version, then
# purges them: no file or folder of theirs may be left behind (what dpkg -L
# listed before the purge, checked against the file system after it).
#   install-package.sh BUILD-FOLDER VERSION
set -euo pipefail
build=$1 version=$2
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing packages needs root; run this test as root to check it"
  exit 77
fi
command -v apt-get >/dev/null || { echo "SKIP: no apt-get here"; exit 77; }

scratch=$(mktemp -d)
chmod 755 "$scratch" # apt reads local packages as its own unprivileged user
(cd "$build" && cpack -G DEB -B "$scratch/pkg" >/dev/null)
debs=("$scratch"/pkg/*.deb)
packages=()
for deb in "${debs[@]}"; do
  package=$(dpkg-deb -f "$deb" Package)
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q ' installed$'; then
    echo "SKIP: $package is installed on this machine already; this test does not replace it"
    rm -rf "$scratch"
    exit 77
  fi
  packages+=("$package")
done

export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -y -q -o DPkg::Lock::Timeout=300)
# Whatever happens, the machine is left without the packages.
# shellcheck disable=SC2317 # (called by the trap)
cleanup() {
  "${apt[@]}" purge "${packages[@]}" >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

"${apt[@]}" install "${debs[@]}" >"$scratch/install.log" 2>&1 || {
  cat "$scratch/install.log"
  exit 1
}
for package in "${packages[@]}"; do
  dpkg -L "$package" | grep -v '^/\.$' >"$scratch/$package.files"
  echo "$package: $(wc -l <"$scratch/$package.files") paths installed"
  while read -r program; do
    name=$(basename "$program")
    answer=$(QT_QPA_PLATFORM=offscreen "$program" --version) || fail "$name --version exits $?"
    [ "$answer" = "$name $version" ] || fail "$name --version answers '$answer'"
  done < <(grep '^/usr/bin/.' "$scratch/$package.files")
done

"${apt[@]}" purge "${packages[@]}" >"$scratch/purge.log" 2>&1 || {
  cat "$scratch/purge.log"
  exit 1
}
# A folder may stay when another package owns it too.
for package in "${packages[@]}"; do
  while read -r path; do
    if [ -d "$path" ] && [ ! -L "$path" ]; then
      dpkg -S "$path" >/dev/null 2>&1 || fail "$package left the folder $path"
    elif [ -e "$path" ] || [ -L "$path" ]; then
      fail "$package left $path"
    fi
  done <"$scratch/$package.files"
done
[ $status -eq 0 ] && echo "installed, ran and purged cleanly: ${packages[*]}"
exit $status
