#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a program many times, each run seeded by a start second of its own, and measures
# every frame each run drew: STEM.csv, one row per run and frame
# (run,seed,frame,inside,outside,mean_distance,mean_from_start,mean_step), and STEM.png,
# each measure against the frame, each run a thin line and their median a bold one. The
# runs go side by side in private virtual X servers, as many as there are cores.
#
#   scripts/experiment.sh [--seed SECOND] [--vary SETTING=V1,V2,...] PROGRAM [RUNS] [SECONDS] [STEM]
#
# RUNS defaults to 8, SECONDS to 5, STEM to out/PROGRAM-experiment. Run i (from 1) has
# its wall clock stopped at SECOND + i - 1, which time(0) returns and srand takes as the
# seed; SECOND defaults to the second the experiment starts. So `--seed S PROGRAM 1
# SECONDS` repeats the run whose seed column reads S, and the same --seed, RUNS and
# SECONDS repeat a whole experiment. PROGRAM is a program's name (built first into
# MOBLINGS_BUILD_DIR, default build/) or a path. Paths are the caller's.
#
# --vary sweeps one setting of include/settings.h: for each value it builds a variant of
# PROGRAM whose program.h differs from its own in that setting alone, in
# BUILD/sweep/PROGRAM-SETTING-VALUE/, and runs it RUNS times, run i of every value at the
# same second. STEM.csv gains the setting as its first column; STEM.png shows each value's
# median and the interquartile range of its runs in a colour of its own; STEM-summary.csv
# (SETTING,measure,frame,runs,lower_quartile,median,upper_quartile; seconds in place of
# frame for the timed programs) holds them at the last frame every run of all the values
# reached, so that the values are compared at one point. `--seed S --vary SETTING=VALUE
# PROGRAM 1 SECONDS` repeats the run of that value whose seed column reads S. A setting
# or value that cannot be fails, with status 1, before anything is built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage() {
    grep -m1 '^#   scripts/' "$0" | sed 's/^# */usage: /' >&2
    exit 2
}
options=()
while [ $# -ge 2 ] && { [ "$1" = --seed ] || [ "$1" = --vary ]; }; do
    options+=("$1" "$2")
    shift 2
done
if [ $# -lt 1 ] || [ $# -gt 4 ] || [ "${1#-}" != "$1" ]; then
    usage
fi
program=$1
arguments=("$program" "${2:-8}" "${3:-5}" "${4:-out/$(basename "$program")-experiment}")
# Arguments that cannot be are said before anything is installed or built.
/usr/bin/python3 "$root/scripts/experiment.py" --build "${MOBLINGS_BUILD_DIR:-build}" --check \
    "${options[@]}" "${arguments[@]}"
build=$("$root/scripts/prepare.sh" "$program")
exec /usr/bin/python3 "$root/scripts/experiment.py" --build "$build" "${options[@]}" \
    "${arguments[@]}"
