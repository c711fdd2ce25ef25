#!/usr/bin/env bash
# Fails when groff has anything to say about a manual page shown by man.
#   render-man-page.sh PAGE
command -v man >/dev/null || { echo "SKIP: man is not installed (install-deps.sh installs man-db)" && exit 77; }
messages=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null)
[ -z "$messages" ] || { echo "$messages" && exit 1; }
