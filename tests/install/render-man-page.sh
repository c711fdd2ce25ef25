#!/usr/bin/env bash
# Renders a manual page the way man shows it to a reader and fails on any
# message from groff (an undefined macro, a line it cannot fill, ...).
#   render-man-page.sh PAGE
set -euo pipefail
if ! command -v man >/dev/null; then
  echo "SKIP: man is not installed (scripts/install-deps.sh installs man-db)"
  exit 77
fi
messages=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null)
if [ -n "$messages" ]; then
  printf '%s\n' "$messages"
  exit 1
fi
echo "$(basename "$1") renders without warnings"
