#!/usr/bin/env bash
# Checks the Debian packages of a finished build folder.
#   check-package.sh BUILD-FOLDER VERSION
#     lintian reports no error or warning (beyond a package's own overrides),
#     each program answers -v and --version from an unpacked copy, and each package
#     holds its files and depends on what it should (orva-tools on nothing of
#     a window system: it installs on a server).
#   check-package.sh BUILD-FOLDER VERSION install
#     as root: apt-get installs them, their programs answer --version,
#     systemd-analyze accepts orva-hub's unit, and apt-get purge leaves
#     nothing of what dpkg -L listed.
set -euo pipefail
build=$1 version=$2 mode=${3:-check}
if [ "$mode" = install ] && [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: installing packages needs root; run this test as root to check it"
  exit 77
fi
scratch=$(mktemp -d)
chmod 755 "$scratch" # apt reads local packages as its own unprivileged user
trap 'rm -rf "$scratch"' EXIT
status=0
fail() { echo "FAIL: $*" && status=1; }
answers_version() { # PROGRAM...
  for program in "$@"; do
    # orva-hub is a daemon: its -v is --verbose, as daemons have it.
    options=(-v --version)
    [ "$(basename "$program")" = orva-hub ] && options=(--version)
    for option in "${options[@]}"; do
      answer=$(QT_QPA_PLATFORM=offscreen "$program" $option) || true
      [ "$answer" = "$(basename "$program") $version" ] || fail "$program $option answers '$answer'"
    done
  done
}
(cd "$build" && cpack -G DEB -B "$scratch/pkg" >/dev/null)
debs=("$scratch"/pkg/*.deb)
mapfile -t packages < <(for deb in "${debs[@]}"; do dpkg-deb -f "$deb" Package; done)
[ "${packages[*]}" = "orva-panel orva-tools" ] || fail "built ${packages[*]}, not orva-panel orva-tools"

if [ "$mode" = install ]; then
  if dpkg-query -W -f='${db:Status-Status}\n' "${packages[@]}" 2>/dev/null | grep -qx installed; then
    echo "SKIP: ${packages[*]} installed on this machine already; this test does not replace them"
    exit 77
  fi
  apt=(env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300)
  trap '"${apt[@]}" purge "${packages[@]}" >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
  "${apt[@]}" install "${debs[@]}" >"$scratch/log" 2>&1 || { cat "$scratch/log" && exit 1; }
  dpkg -L "${packages[@]}" | grep -vx '/\.' | sort -u >"$scratch/files"
  mapfile -t programs < <(grep '^/usr/bin/.' "$scratch/files")
  answers_version "${programs[@]}"
  # The hub's unit as systemd reads it, its man page installed beside it.
  if command -v systemd-analyze >/dev/null; then
    systemd-analyze verify /usr/lib/systemd/system/orva-hub.service || fail "systemd-analyze finds fault with orva-hub.service"
  fi
  "${apt[@]}" purge "${packages[@]}" >"$scratch/log" 2>&1 || { cat "$scratch/log" && exit 1; }
  while read -r path; do # a folder stays when another package owns it too
    if [ -d "$path" ] && [ ! -L "$path" ]; then
      dpkg -S "$path" >/dev/null 2>&1 || fail "purge left the folder $path"
    elif [ -e "$path" ] || [ -L "$path" ]; then
      fail "purge left $path"
    fi
  done <"$scratch/files"
  [ $status -ne 0 ] || echo "${#programs[@]} programs; installed, ran and purged cleanly: ${packages[*]}"
  exit $status
fi

for deb in "${debs[@]}"; do
  package=$(dpkg-deb -f "$deb" Package)
  dpkg-deb -f "$deb" Depends | tee "$scratch/$package.depends"
  if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" || fail "lintian finds fault with $package"
  else
    echo "lintian is not installed: not run (scripts/install-deps.sh installs it)"
  fi
  mkdir -p "$scratch/$package" && dpkg -x "$deb" "$scratch/$package"
  answers_version "$scratch/$package"/usr/bin/*
done
holds() { # PACKAGE FILE...: under usr/
  for f in "${@:2}"; do [ -s "$scratch/$1/usr/$f" ] || fail "$1 lacks usr/$f"; done
}
id=org.orva.TkControlPanel
holds orva-panel bin/orva-panel share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/48x48/apps/$id.png share/man/man1/orva-panel.1.gz share/doc/orva-panel/copyright
holds orva-tools bin/orva-ctl bin/orva-hub bin/orva-projector-sim share/man/man1/orva-ctl.1.gz \
  share/man/man8/orva-hub.8.gz lib/systemd/system/orva-hub.service share/doc/orva-tools/examples/hub.toml \
  share/doc/orva-tools/examples/prometheus/orva-hub-alerts.yml share/doc/orva-tools/examples/nginx/orva-hub.conf \
  share/bash-completion/completions/orva-ctl share/doc/orva-tools/changelog.gz
for dep in libqt6widgets6 qt6-qpa-plugins fonts-ipafont-gothic; do
  grep -qw "$dep" "$scratch/orva-panel.depends" || fail "orva-panel does not depend on $dep"
done
if grep -Ew 'libqt6gui6|libqt6widgets6|qt6-qpa-plugins|fonts-[a-z0-9-]+' "$scratch/orva-tools.depends"; then
  fail "orva-tools depends on a window system or fonts"
fi
[ $status -ne 0 ] || echo "packages ok"
exit $status
