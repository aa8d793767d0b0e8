#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What the tools that watch a program share: installs what is missing and builds each
# PROGRAM given by name rather than path, with the libraries that watch a program from
# beneath, into the build folder (MOBLINGS_BUILD_DIR, default build/), and nothing else.
# Prints the build folder's path.
#
#   scripts/prepare.sh PROGRAM...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${MOBLINGS_BUILD_DIR:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
"$root/scripts/install-deps.sh" >&2
named=()
for program in "$@"; do
    case $program in */*) ;; *) named+=("$program") ;; esac
done
if [ ${#named[@]} -gt 0 ]; then
    echo "building ${named[*]} in $build" >&2
    MOBLINGS_TARGETS="${named[*]} swapcount frameclock placed" "$root/scripts/build.sh" "$build" \
        >/dev/null
fi
echo "$build"
