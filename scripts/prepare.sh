#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What the tools that watch a program share: installs what is missing and, when PROGRAM
# is a program's name rather than a path, builds it and the libraries that watch it from
# beneath into the build folder (MOBLINGS_BUILD_DIR, default build/), and nothing else.
# Prints the build folder's path.
#
#   scripts/prepare.sh PROGRAM
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${MOBLINGS_BUILD_DIR:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
"$root/scripts/install-deps.sh" >&2
case $1 in
*/*) ;;
*)
    echo "building $1 in $build" >&2
    MOBLINGS_TARGETS="$1 swapcount frameclock placed" "$root/scripts/build.sh" "$build" >/dev/null
    ;;
esac
echo "$build"
