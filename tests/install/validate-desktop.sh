#!/usr/bin/env bash
# Validates the desktop entry and the AppStream metainfo with the freedesktop
# tools, where they are installed.
set -euo pipefail
data=$1
id=org.orva.TkControlPanel
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$data/$id.desktop"
  echo "desktop entry ok"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$data/$id.metainfo.xml"
fi
