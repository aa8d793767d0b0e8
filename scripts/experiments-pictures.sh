#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Remakes the README's experiment plots: experiment-fenced.png, experiment-herd.png and
# experiment-solo.png, and the sweeps' sweep-herd-turns.png and sweep-fenced-population.png,
# in docs/pictures/ (or the folder given), with their tables beside them in out/. Every
# experiment starts at the same fixed second and runs a fixed number of frames, the timed
# moblings_herd with a fixed frame step of 16 ms: its tables are the same bytes every time
# and on every machine, however fast or busy. Runs of frames are not drawn (see
# scripts/experiment.sh), so the runs take seconds; most of the rest is the plots.
#
#   scripts/experiments-pictures.sh [FOLDER]
#
# MOBLINGS_BUILD_DIR names another build folder (default: build); EXPERIMENT_RUNS and
# EXPERIMENT_FRAMES, when set, make every experiment that size (a quick look).
set -euo pipefail
if [ $# -gt 1 ]; then
    grep -m1 '^#   scripts/' "$0" | sed 's/^# */usage: /' >&2
    exit 2
fi
cd "$(dirname "$0")/.."
pictures=${1:-docs/pictures}
seed=1767225600 # 2026-01-01 00:00:00 UTC
step=16         # ms: a frame of a screen that shows 60 a second
mkdir -p "$pictures" out
# Built once for all of them: each experiment then takes its program's path as it is.
build=$(scripts/prepare.sh moblings_fenced moblings_herd moblings_solo)
# What each answers: how many creatures walk out for good, whether the herd stays near the
# centre, how far the lone creature gets from its start; and, sweeping one setting, how far
# the herd spreads as it turns more often, how many of fenced's creatures walk out when
# there are fewer or more of them. A step is given to every program, so that one command
# covers them all; only the timed herd reads its clock.
for plot in "experiment-fenced moblings_fenced 8 2000" "experiment-herd moblings_herd 8 1500" \
    "experiment-solo moblings_solo 8 2000" \
    "sweep-herd-turns moblings_herd 8 1000 TurnChance=0.001,0.01,0.1" \
    "sweep-fenced-population moblings_fenced 8 1500 Population=5,20,50"; do
    read -r name program runs frames vary <<<"$plot"
    runs=${EXPERIMENT_RUNS:-$runs}
    frames=${EXPERIMENT_FRAMES:-$frames}
    MOBLINGS_BUILD_DIR=$build scripts/experiment.sh --seed "$seed" --step "$step" \
        --frames "$frames" ${vary:+--vary "$vary"} "$build/$program" "$runs" "out/$name"
    cp "out/$name.png" "$pictures/$name.png"
done
