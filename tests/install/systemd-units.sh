#!/usr/bin/env bash
# The service's systemd units as systemd reads them: "systemd-analyze verify" finds nothing
# to say, "systemd-analyze security --offline=true" rates the service OK or better (exposure
# below 5.0), and the service's command line, started as systemd starts it for the socket
# (systemd-socket-activate), answers on that socket with the devices file that the package
# ships. The units name the installed /usr/sbin/tallixd; here they are checked on a copy that
# names the built program instead, with the built man page on MANPATH (verify looks up every
# man: link of Documentation=). Skipped (77) where systemd-analyze is missing.
#   systemd-units.sh SERVICE-UNIT SOCKET-UNIT TALLIXD MAN-PAGE DEVICES-FILE
set -euo pipefail
service=$1
socket=$2
program=$3
page=$4
devices=$5

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

# ExecStart= and ListenStream= as the package installs them, in a folder of this test's own.
command=$(sed -nE 's/^ExecStart=//p' "$work/tallixd.service")
socket_path=$(sed -nE 's/^ListenStream=//p' "$socket")
[ "$socket_path" = /run/tallix/tallixd.sock ] && [[ "$command" == *" --listen unix:$socket_path"* ]] ||
  { echo "the service does not listen on the socket unit's $socket_path: $command" >&2; exit 1; }
cp "$devices" "$work/devices.xml"
command=${command//\/etc\/tallix\/devices.xml/$work/devices.xml}
command=${command//\/var\/lib\/tallix/$work/state}
command=${command//$socket_path/$work/tallixd.sock}
read -r -a argv <<<"$command"
# The activator says "Listening on PATH as 3." once the socket listens; the first connection
# then starts the service on it, as systemd does.
mkfifo "$work/said"
systemd-socket-activate -l "$work/tallixd.sock" "${argv[@]}" >"$work/out" 2>"$work/said" &
activator=$!
trap 'kill -TERM "$activator" 2>/dev/null || true; wait "$activator" 2>/dev/null || true
      rm -rf "$work"' EXIT
exec 3<"$work/said"
said=
read -r -t 30 -u 3 said || true
[[ "$said" == "Listening on $work/tallixd.sock"* ]] ||
  { echo "systemd-socket-activate did not start: $said" >&2; exit 1; }
health=$(curl -sS --max-time 30 --unix-socket "$work/tallixd.sock" http://localhost/v1/health) ||
  { echo "the socket-activated service did not answer: $(cat "$work/out")" >&2; exit 1; }
[[ "$health" == *'"status":"ok"'* ]] || { echo "health: $health" >&2; exit 1; }
[ "$(cat "$work/out")" = "listening on unix:$work/tallixd.sock" ] ||
  { echo "the service did not take the passed socket: $(cat "$work/out")" >&2; exit 1; }
echo "systemd-analyze verify: clean; security: exposure $rating; socket activation: answers"
