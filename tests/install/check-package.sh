#!/usr/bin/env bash
# Checks the Debian packages of a finished build folder.
#   check-package.sh BUILD-FOLDER VERSION
#     lintian reports no error or warning (beyond a package's own overrides),
#     each program answers -v and --version from an unpacked copy, and each package
#     holds its files and depends on what it should (orva-tools on nothing of
#     a window system: it installs on a server).
#   check-package.sh BUILD-FOLDER VERSION install
#     as root: apt-get installs an earlier version of orva-tools (the same
#     programs, another version number) over a configuration left as root's,
#     then upgrades to these packages: /etc/orva and its hub.toml pass to
#     the group orva, the programs answer --version, systemd-analyze accepts
#     orva-hub's unit, the hub run as the unit's user answers on a simulated
#     projector, and other users cannot read its configuration. apt-get
#     purge leaves nothing of what dpkg -L listed, nor the link that enabled
#     the hub, but the administrator's hub.toml; a fresh install makes
#     /etc/orva root:orva 0750, and its purge takes it again.
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
  if [ -e /etc/orva ]; then
    echo "SKIP: /etc/orva exists on this machine; this test does not touch an administrator's configuration"
    exit 77
  fi
  # The same programs packaged as an earlier version, to upgrade from.
  (cd "$build" && cpack -G DEB -B "$scratch/earlier" -D CPACK_PACKAGE_VERSION="$version~earlier" >/dev/null)
  earlier_tools=("$scratch"/earlier/orva-tools_*.deb)
  apt=(env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300)
  apt_do() { "${apt[@]}" "$@" >"$scratch/log" 2>&1 || { cat "$scratch/log" && exit 1; }; }
  run=$(mktemp -d -p /run orva-test.XXXXXX) # the simulator's link: outside /tmp, which the unit makes private
  trap 'kill ${hub:-} ${sim:-} 2>/dev/null || true
        "${apt[@]}" purge "${packages[@]}" >/dev/null 2>&1 || true; rm -rf "$scratch" "$run" /etc/orva' EXIT
  share_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  # A configuration made as the guide of the earlier version said: root:root 0640.
  install -d /etc/orva
  printf 'listen = ["127.0.0.1"]\n[[projector]]\nname = "a101"\nline = "%s/a101"\nshare-port = %s\n' \
    "$run" "$share_port" >"$scratch/hub.toml"
  install -m 0640 "$scratch/hub.toml" /etc/orva/hub.toml
  apt_do install "${earlier_tools[@]}"
  apt_do install "${debs[@]}"
  [ "$(dpkg-query -W -f='${Version}' orva-tools)" = "$version" ] || fail "orva-tools was not upgraded to $version"
  modes=$(stat -c '%U:%G %a' /etc/orva /etc/orva/hub.toml | tr '\n' ' ')
  [ "$modes" = "root:orva 750 root:orva 640 " ] || fail "/etc/orva and its hub.toml are $modes"
  id -nG orva | grep -qw dialout || fail "the user orva is not in dialout: $(id orva)"
  dpkg -L "${packages[@]}" | grep -vx '/\.' | sort -u >"$scratch/files"
  mapfile -t programs < <(grep '^/usr/bin/.' "$scratch/files")
  answers_version "${programs[@]}"
  # The hub's unit as systemd reads it, its man page installed beside it.
  if command -v systemd-analyze >/dev/null; then
    systemd-analyze verify /usr/lib/systemd/system/orva-hub.service || fail "systemd-analyze finds fault with orva-hub.service"
  fi

  # The hub as its unit runs it (its user and groups; no systemd here), on
  # a simulated projector that user opened, answers through its share door.
  as_orva=(setpriv --reuid=orva --regid=orva --init-groups)
  chown orva:orva "$run"
  "${as_orva[@]}" orva-projector-sim --link "$run/a101" >/dev/null &
  sim=$!
  "${as_orva[@]}" orva-hub --config /etc/orva/hub.toml 2>"$scratch/hub.log" &
  hub=$!
  answer="" deadline=$((SECONDS + 20))
  while [ $SECONDS -lt $deadline ] && kill -0 "$hub" 2>/dev/null; do # until it answers
    answer=$(orva-ctl --timeout 500 --port "tcp://127.0.0.1:$share_port" status 2>&1) && break
    sleep 0.1 # the door is not bound yet: refused at once
  done
  [ "$answer" = "Stand by" ] || fail "the hub as orva: orva-ctl says '$answer'; the hub said: $(cat "$scratch/hub.log")"
  kill "$hub" "$sim" 2>/dev/null || true
  wait "$hub" "$sim" || true
  hub="" sim=""
  # Another local user cannot read the configuration.
  refused=$(setpriv --reuid=nobody --regid=nogroup --clear-groups orva-hub --check --config /etc/orva/hub.toml 2>&1) &&
    fail "nobody can read /etc/orva/hub.toml"
  [[ "$refused" == *"Permission denied"* ]] || fail "nobody reading the configuration: $refused"

  # Purge: the enabling link goes, the administrator's configuration stays.
  if command -v systemctl >/dev/null; then
    systemctl enable orva-hub.service 2>/dev/null || fail "systemctl enable orva-hub failed"
  fi
  apt_do purge "${packages[@]}"
  while read -r path; do # a folder stays when another package owns it too
    if [ -d "$path" ] && [ ! -L "$path" ]; then
      dpkg -S "$path" >/dev/null 2>&1 || fail "purge left the folder $path"
    elif [ -e "$path" ] || [ -L "$path" ]; then
      fail "purge left $path"
    fi
  done <"$scratch/files"
  [ ! -L /etc/systemd/system/multi-user.target.wants/orva-hub.service ] || fail "purge left the hub enabled"
  cmp -s "$scratch/hub.toml" /etc/orva/hub.toml || fail "purge took the administrator's /etc/orva/hub.toml"

  # A first install makes /etc/orva; a purge takes it again while empty.
  rm -rf /etc/orva
  apt_do install "${debs[@]}"
  [ "$(stat -c '%U:%G %a' /etc/orva)" = "root:orva 750" ] || fail "/etc/orva is $(stat -c '%U:%G %a' /etc/orva)"
  apt_do purge "${packages[@]}"
  [ ! -e /etc/orva ] || fail "purge left an empty /etc/orva"
  [ $status -ne 0 ] || echo "${#programs[@]} programs; upgraded, ran as orva and purged cleanly: ${packages[*]}"
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
  share/bash-completion/completions/orva-ctl share/doc/orva-tools/changelog.gz share/doc/orva-tools/hub-admin.md \
  share/doc/orva-tools/exchange-result.md lib/sysusers.d/orva-tools.conf
for dep in libqt6widgets6 qt6-qpa-plugins fonts-ipafont-gothic; do
  grep -qw "$dep" "$scratch/orva-panel.depends" || fail "orva-panel does not depend on $dep"
done
if grep -Ew 'libqt6gui6|libqt6widgets6|qt6-qpa-plugins|fonts-[a-z0-9-]+' "$scratch/orva-tools.depends"; then
  fail "orva-tools depends on a window system or fonts"
fi
[ $status -ne 0 ] || echo "packages ok"
exit $status
