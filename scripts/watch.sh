#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What scripts/record.sh and scripts/trails.sh share, and both at once from one run:
# installs what is missing, builds, and hands the rest to watch.py (which says what each
# option writes).
#
#   scripts/watch.sh [--seed SECOND] PROGRAM SECONDS [--record FILE]... [--csv FILE] [--trails FILE]
#
# PROGRAM is the name of a program, built first into the build folder (MOBLINGS_BUILD_DIR,
# default build/), or the path of one, run as it is. Paths are the caller's. --seed stops
# the program's wall clock at SECOND, so that srand(time(0)) takes it as its seed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seed=()
if [ "${1:-}" = --seed ] && [ $# -ge 2 ]; then
    seed=(--seed "$2")
    shift 2
fi
if [ $# -lt 3 ] || [ "${1#-}" != "$1" ]; then
    grep -m1 '^#   scripts/' "$0" | sed 's/^# */usage: /' >&2
    exit 2
fi
build=$("$root/scripts/prepare.sh" "$1")
exec /usr/bin/python3 "$root/scripts/watch.py" --build "$build" "${seed[@]}" "$@"
