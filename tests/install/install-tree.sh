#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that everything a till needs is there.
#   install-tree.sh CMAKE BUILD-FOLDER WITH-SETUP(ON|OFF) WITH-SERVICE(ON|OFF)
set -euo pipefail
cmake=$1
build=$2
with_setup=$3
with_service=$4

prefix=$(mktemp -d "${TMPDIR:-/tmp}/tallix-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

expected=(
  bin/tallix
  bin/tallix-sim
  share/man/man1/tallix.1
  share/man/man1/tallix-sim.1
  share/man/man8/tallixd.8
  share/doc/tallix/README.md
  share/doc/tallix/README.tallix-sim.md
  share/doc/tallix/examples/receipt.txt
  share/doc/tallix/examples/z-report.txt
  share/doc/tallix/examples/cash-in-out.txt
  share/doc/tallix/examples/duplicate.txt
  share/doc/tallix/examples/faulty-line.txt
)
if [ "$with_setup" = ON ]; then
  expected+=(
    bin/tallix-setup
    share/man/man1/tallix-setup.1
    share/applications/tallix-setup.desktop
    share/icons/hicolor/scalable/apps/tallix-setup.svg
    share/icons/hicolor/256x256/apps/tallix-setup.png
  )
fi
if [ "$with_service" = ON ]; then
  expected+=(sbin/tallixd)
fi
missing=0
for file in "${expected[@]}"; do
  if [ ! -s "$prefix/$file" ]; then
    echo "not installed: $file" >&2
    missing=1
  fi
done
for program in bin/tallix bin/tallix-sim bin/tallix-setup sbin/tallixd; do
  if [ -e "$prefix/$program" ] && [ ! -x "$prefix/$program" ]; then
    echo "not executable: $program" >&2
    missing=1
  fi
done
[ "$missing" -eq 0 ] || exit 1

# The installed programs run from there.
"$prefix/bin/tallix" --version | grep -qx "tallix [0-9][0-9.]*"
"$prefix/bin/tallix-sim" --help >/dev/null
if [ "$with_service" = ON ]; then
  "$prefix/sbin/tallixd" --version | grep -qx "tallixd [0-9][0-9.]*"
fi
if [ "$with_setup" = ON ]; then
  # The installed tallix starts the installed tallix-setup next to it; with no display that
  # one answers with its one line and 127.
  status=0
  said=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/tallix" 2>&1) ||
    status=$?
  if [ "$status" -ne 127 ] || [[ "$said" != "tallix-setup: no display"* ]]; then
    echo "installed tallix in set-up mode: status $status, said: $said" >&2
    exit 1
  fi
fi
echo "${#expected[@]} files installed under $prefix"
