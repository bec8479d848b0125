#!/usr/bin/env bash
# One version number: the project's (CMakeLists.txt), what tallix --version shows and the
# newest entry of debian/changelog (without a Debian revision) agree.
#   version-matches-changelog.sh TALLIX PROJECT-VERSION CHANGELOG
set -euo pipefail
tallix=$1
project=$2
changelog=$3

entry=$(sed -nE '1s/^tallix \(([^)]+)\).*/\1/p' "$changelog")
[ -n "$entry" ] || { echo "no version on the first line of $changelog" >&2; exit 1; }
upstream=${entry%-*}
shown=$("$tallix" --version)
if [ "$upstream" != "$project" ] || [ "$shown" != "tallix $project" ]; then
  echo "versions differ: CMakeLists.txt $project, tallix --version \"$shown\"," \
    "debian/changelog $entry" >&2
  exit 1
fi
echo "version $project everywhere"
