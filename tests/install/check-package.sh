#!/usr/bin/env bash
# Builds the Debian package from a finished build folder, unpacks it into a
# scratch root and checks that both programs answer --help from there and
# that the desktop integration files are in place.
#   check-package.sh BUILD-FOLDER
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

(cd "$build" && cpack -G DEB -B "$scratch/pkg" >/dev/null)
deb=$(ls "$scratch"/pkg/*.deb)
echo "package: $(basename "$deb")"
dpkg-deb -f "$deb" Depends | tee "$scratch/depends"
for dep in libqt6widgets6 libqt6serialport6 fonts-ipafont-gothic; do
  grep -q "$dep" "$scratch/depends" || { echo "missing dependency $dep"; exit 1; }
done

dpkg -x "$deb" "$scratch/root"
root="$scratch/root/usr"
"$root/bin/orva-panel" --help | grep -q -- '--com1'
"$root/bin/orva-panel" --version | grep -q '1.40'
"$root/bin/orva-projector-sim" --help >/dev/null
"$root/bin/orva-ctl" --help | grep -q -- '--port'
"$root/bin/orva-ctl" --version | grep -q '1.40'

id=org.orva.TkControlPanel
for f in share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/48x48/apps/$id.png \
         share/man/man1/orva-panel.1 share/man/man1/orva-projector-sim.1 \
         share/man/man1/orva-ctl.1 share/bash-completion/completions/orva-ctl; do
  [ -s "$root/$f" ] || { echo "missing $f"; exit 1; }
done
echo "package ok"
