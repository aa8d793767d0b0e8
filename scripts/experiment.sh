#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a program many times, each run seeded by a start second of its own, and measures
# every frame each run drew: STEM.csv, one row per run and frame
# (run,seed,frame,inside,outside,mean_distance,mean_from_start,mean_step), and STEM.png,
# each measure against the frame, each run a thin line and their median a bold one. The
# runs go side by side in private virtual X servers, as many as there are cores.
#
#   scripts/experiment.sh [--seed SECOND] PROGRAM [RUNS] [SECONDS] [STEM]
#
# RUNS defaults to 8, SECONDS to 5, STEM to out/PROGRAM-experiment. Run i (from 1) has
# its wall clock stopped at SECOND + i - 1, which time(0) returns and srand takes as the
# seed; SECOND defaults to the second the experiment starts. So `--seed S PROGRAM 1
# SECONDS` repeats the run whose seed column reads S, and the same --seed, RUNS and
# SECONDS repeat a whole experiment. PROGRAM is a program's name (built first into
# MOBLINGS_BUILD_DIR, default build/) or a path. Paths are the caller's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seed=()
if [ "${1:-}" = --seed ] && [ $# -ge 2 ]; then
    seed=(--seed "$2")
    shift 2
fi
if [ $# -lt 1 ] || [ $# -gt 4 ] || [ "${1#-}" != "$1" ]; then
    grep -m1 '^#   scripts/' "$0" | sed 's/^# */usage: /' >&2
    exit 2
fi
program=$1
build=$("$root/scripts/prepare.sh" "$program")
exec /usr/bin/python3 "$root/scripts/experiment.py" --build "$build" "${seed[@]}" \
    "$program" "${2:-8}" "${3:-5}" "${4:-out/$(basename "$program")-experiment}"
