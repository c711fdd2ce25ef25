#!/usr/bin/env bash
# Builds the Debian packages from a finished build folder and checks each
# of them: Debian's checker (lintian) reports no error and no warning beyond
# the package's own override list, every program answers --version from an
# unpacked copy, and the package's files are in place.
#   check-package.sh BUILD-FOLDER VERSION
set -euo pipefail
build=$1 version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
fail() {
  echo "FAIL: $*"
  status=1
}

(cd "$build" && cpack -G DEB -B "$scratch/pkg" >/dev/null)
for deb in "$scratch"/pkg/*.deb; do
  package=$(dpkg-deb -f "$deb" Package)
  root=$scratch/root/$package
  echo "=== $(basename "$deb")"
  dpkg-deb -f "$deb" Depends | tee "$scratch/$package.depends"

  if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" || fail "lintian finds fault with $package"
  else
    echo "lintian is not installed: not checked (scripts/install-deps.sh installs it)"
  fi

  mkdir -p "$root"
  dpkg -x "$deb" "$root"
  for program in "$root"/usr/bin/*; do
    name=$(basename "$program")
    answer=$(QT_QPA_PLATFORM=offscreen "$program" --version) || fail "$name --version exits $?"
    [ "$answer" = "$name $version" ] || fail "$name --version answers '$answer'"
  done
  for f in copyright changelog.gz; do
    [ -s "$root/usr/share/doc/$package/$f" ] || fail "$package lacks usr/share/doc/$package/$f"
  done
done

# What each package holds, and what it depends on: orva-tools installs on a
# machine without a window system, so nothing of Qt Gui, Qt Widgets or fonts.
expect() { # PACKAGE FILE...
  local package=$1
  shift
  for f in "$@"; do
    [ -s "$scratch/root/$package/usr/$f" ] || fail "$package lacks usr/$f"
  done
}
id=org.orva.TkControlPanel
expect orva-panel bin/orva-panel share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/48x48/apps/$id.png \
  share/man/man1/orva-panel.1.gz
expect orva-tools bin/orva-ctl bin/orva-projector-sim share/man/man1/orva-ctl.1.gz \
  share/man/man1/orva-projector-sim.1.gz share/bash-completion/completions/orva-ctl
for dep in libqt6widgets6 libqt6serialport6 qt6-qpa-plugins fonts-ipafont-gothic; do
  grep -qw "$dep" "$scratch/orva-panel.depends" || fail "orva-panel does not depend on $dep"
done
if grep -Ew 'libqt6gui6|libqt6widgets6|qt6-qpa-plugins|fonts-[a-z0-9-]+' "$scratch/orva-tools.depends"; then
  fail "orva-tools depends on a window system or fonts"
fi
built=$(cd "$scratch/root" && echo *)
[ "$built" = "orva-panel orva-tools" ] || fail "built the packages $built, not orva-panel orva-tools"

[ $status -eq 0 ] && echo "packages ok"
exit $status
