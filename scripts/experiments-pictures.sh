#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Remakes the README's experiment plots: experiment-fenced.png, experiment-herd.png and
# experiment-solo.png, and the sweeps' sweep-herd-turns.png and sweep-fenced-population.png,
# in docs/pictures/ (or the folder given), with their tables beside them in out/. Every
# experiment starts at the same fixed second, so its runs are the same every time it is
# made: frame for frame in the untimed programs, the same start and the same random draws
# in the timed moblings_herd.
#
#   scripts/experiments-pictures.sh [FOLDER]
#
# MOBLINGS_BUILD_DIR names another build folder (default: build); EXPERIMENT_RUNS and
# EXPERIMENT_SECONDS, when set, make every experiment that size (a quick look).
set -euo pipefail
if [ $# -gt 1 ]; then
    grep -m1 '^#   scripts/' "$0" | sed 's/^# */usage: /' >&2
    exit 2
fi
cd "$(dirname "$0")/.."
pictures=${1:-docs/pictures}
seed=1767225600 # 2026-01-01 00:00:00 UTC
mkdir -p "$pictures" out
# What each answers: how many creatures walk out for good, whether the herd stays near the
# centre, how far the lone creature gets from its start; and, sweeping one setting, how far
# the herd spreads as it turns more often, how many of fenced's creatures walk out when
# there are fewer or more of them.
for plot in "experiment-fenced moblings_fenced 8 10" "experiment-herd moblings_herd 8 20" \
    "experiment-solo moblings_solo 8 10" \
    "sweep-herd-turns moblings_herd 8 10 TurnChance=0.001,0.01,0.1" \
    "sweep-fenced-population moblings_fenced 8 10 Population=5,20,50"; do
    read -r name program runs seconds vary <<<"$plot"
    runs=${EXPERIMENT_RUNS:-$runs}
    seconds=${EXPERIMENT_SECONDS:-$seconds}
    scripts/experiment.sh --seed "$seed" ${vary:+--vary "$vary"} "$program" "$runs" \
        "$seconds" "out/$name"
    cp "out/$name.png" "$pictures/$name.png"
done
