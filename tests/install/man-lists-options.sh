#!/usr/bin/env bash
# Every option that a program's --help lists is described in its man page.
#   man-lists-options.sh PROGRAM PAGE.1
set -euo pipefail
program=$1
page=$2

# Options are the first word of the indented lines of the usage text: "  -i PATH  ...".
mapfile -t options < <("$program" --help | sed -nE 's/^ +(--?[A-Za-z][A-Za-z0-9-]*).*/\1/p' | sort -u)
[ ${#options[@]} -gt 0 ] || { echo "$program --help lists no options" >&2; exit 1; }

# The page as plain text, one long line per paragraph, without hyphenation.
text=$(groff -k -t -man -Tascii -P-cbou -rHY=0 -rLL=1000n "$page" 2>/dev/null)
missing=()
for option in "${options[@]}"; do
  grep -qE -- "(^|[^A-Za-z0-9-])${option}([^A-Za-z0-9-]|$)" <<<"$text" || missing+=("$option")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "$(basename "$page") does not describe: ${missing[*]}" >&2
  exit 1
fi
echo "${#options[@]} options of $(basename "$program") described in $(basename "$page")"
