#!/usr/bin/env bash
# The service's systemd units as systemd reads them: "systemd-analyze verify" finds nothing
# to say, and "systemd-analyze security --offline=true" rates the service OK or better
# (exposure below 5.0). The units name the installed /usr/sbin/tallixd; here they are checked
# on a copy that names the built program instead, with the built man page on MANPATH (verify
# looks up every man: link of Documentation=). Skipped (77) where systemd-analyze is missing.
#   systemd-units.sh SERVICE-UNIT SOCKET-UNIT TALLIXD MAN-PAGE
set -euo pipefail
service=$1
socket=$2
program=$3
page=$4

if ! command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze is not installed (package systemd): the units are not checked"
  exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tallix-units.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/man/man8"
cp "$page" "$work/man/man8/"
sed "s|/usr/sbin/tallixd|$program|g" "$service" >"$work/tallixd.service"
cp "$socket" "$work/tallixd.socket"
grep -q "^ExecStart=$program " "$work/tallixd.service" ||
  { echo "$service does not start /usr/sbin/tallixd" >&2; exit 1; }

status=0
said=$(cd "$work" && MANPATH="$work/man" systemd-analyze verify ./tallixd.service ./tallixd.socket 2>&1) ||
  status=$?
if [ "$status" -ne 0 ] || [ -n "$said" ]; then
  echo "systemd-analyze verify (status $status):" >&2
  echo "$said" >&2
  exit 1
fi

rating=$(cd "$work" && systemd-analyze security --offline=true ./tallixd.service 2>&1 |
  sed -nE 's/.*Overall exposure level for tallixd\.service: ([0-9.]+) ([A-Z]+).*/\1 \2/p')
case "${rating#* }" in
  OK | SAFE | PERFECT) ;;
  *)
    echo "systemd-analyze security rates tallixd.service \"${rating:-nothing}\"; wanted OK" >&2
    (cd "$work" && systemd-analyze security --offline=true ./tallixd.service) | grep '✗' >&2
    exit 1
    ;;
esac
# The exit status agrees with the word: 49 is exposure 4.9, the highest that is still OK.
(cd "$work" && systemd-analyze security --offline=true --threshold=49 ./tallixd.service >/dev/null)
echo "systemd-analyze verify: clean; security: exposure $rating"
