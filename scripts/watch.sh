#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What scripts/record.sh and scripts/trails.sh share, and both at once from one run:
# installs what is missing, builds, and hands the rest to watch.py (which says what each
# option writes).
#
#   scripts/watch.sh [--seed SECOND] [--step MS] [--set FIELD=VALUE]... (--frames N PROGRAM | PROGRAM SECONDS) [--record FILE]... [--csv FILE] [--trails FILE]
#
# PROGRAM is the name of a program, built first into the build folder (MOBLINGS_BUILD_DIR,
# default build/), or the path of one, run as it is. Paths are the caller's. --seed stops
# the program's wall clock at SECOND, so that srand(time(0)) takes it as its seed; --step
# moves its frame clock on by exactly MS milliseconds a frame; --frames runs it for exactly
# N frames, in place of SECONDS.
# --set FIELD=VALUE, as many as needed, builds a variant of PROGRAM (a name) with those
# settings of include/settings.h changed, as a sweep builds one (in BUILD/sweep/), and
# runs that.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/options.sh"
# Arguments that cannot be are said before anything is installed or built.
/usr/bin/python3 "$root/scripts/watch.py" --build "${MOBLINGS_BUILD_DIR:-build}" --check \
    "${options[@]}" "$@"
build=$("$root/scripts/prepare.sh" "$1")
exec /usr/bin/python3 "$root/scripts/watch.py" --build "$build" "${options[@]}" "$@"
