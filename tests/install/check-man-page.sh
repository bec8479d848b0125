#!/usr/bin/env bash
# Renders one man page as man(1) and groff do with every warning on; any message fails.
#   check-man-page.sh PAGE.1
set -euo pipefail
page=$1
[ -s "$page" ] || { echo "no man page at $page" >&2; exit 1; }

messages=$(
  {
    LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings=w -E UTF-8 -l "$page" >/dev/null
    groff -k -t -ww -man -Tutf8 -z "$page"
  } 2>&1
)
if [ -n "$messages" ]; then
  echo "$page renders with messages:" >&2
  echo "$messages" >&2
  exit 1
fi
