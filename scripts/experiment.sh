#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a program many times, each run seeded by a start second of its own, and measures
# every frame each run drew: STEM.csv, one row per run and frame
# (run,seed,step_ms,frame,inside,outside,mean_distance,mean_from_start,mean_step), and
# STEM.png, each measure against the frame, each run a thin line and their median a bold
# one. The runs go side by side in private virtual X servers, as many as there are cores.
#
#   scripts/experiment.sh [--seed SECOND] [--step MS] [--every K] [--set FIELD=VALUE]... [--vary SETTING=V1,V2,...] (--frames N PROGRAM [RUNS] | PROGRAM [RUNS] [SECONDS]) [STEM]
#
# RUNS defaults to 8, SECONDS to 5, STEM to out/PROGRAM-experiment. Run i (from 1) has
# its wall clock stopped at SECOND + i - 1, which time(0) returns and srand takes as the
# seed; SECOND defaults to the second the experiment starts. So `--seed S PROGRAM 1
# SECONDS` repeats the run whose seed column reads S. PROGRAM is a program's name (built
# first into MOBLINGS_BUILD_DIR, default build/) or a path. Paths are the caller's.
#
# --frames N runs each run for exactly N frames in place of SECONDS, and --step MS moves a
# timed program's frame clock on by exactly MS milliseconds a frame (step_ms in STEM.csv;
# an untimed program never reads the clock): with both, the same command writes the same
# STEM.csv on any machine, however busy, and `--seed S --step MS --frames N PROGRAM 1`
# repeats the run whose seed column reads S exactly. A run of frames is not drawn: where
# the program places its creatures is recorded from beneath it (bench/placed.c), unless it
# is a timed program's without a step, which is drawn and traced as a run of seconds is.
#
# --every K measures only frames 0, K, 2K, ...: STEM.csv holds only their rows, each as it
# would be without --every (mean_step from the frame just before), and the plot and the
# summary are made from them.
#
# --vary sweeps one setting of include/settings.h: for each value it builds a variant of
# PROGRAM whose program.h differs from its own in that setting alone, in
# BUILD/sweep/PROGRAM-SETTING-VALUE/, and runs it RUNS times, run i of every value at the
# same second. STEM.csv gains the setting as its first column; STEM.png shows each value's
# median and the interquartile range of its runs in a colour of its own; STEM-summary.csv
# (SETTING,measure,frame,runs,lower_quartile,median,upper_quartile; seconds in place of
# frame for the timed programs) holds them at the last frame every run of all the values
# reached, so that the values are compared at one point. `--seed S --vary SETTING=VALUE
# PROGRAM 1 SECONDS` repeats the run of that value whose seed column reads S. --set
# FIELD=VALUE, as many as needed, builds PROGRAM with those settings changed, and the
# experiment, or the sweep, runs that variant. A setting,
# value, step or frame count that cannot be fails, with status 1, before anything is built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
more_options="vary|every"
. "$root/scripts/options.sh"
runs=${rest[0]:-8}
rest=("${rest[@]:1}")
take_seconds 5 1
arguments=("$program" "$runs" "${length[@]}" "${rest[0]:-out/$(basename "$program")-experiment}")
# Arguments that cannot be are said before anything is installed or built.
/usr/bin/python3 "$root/scripts/experiment.py" --build "${MOBLINGS_BUILD_DIR:-build}" --check \
    "${options[@]}" "${arguments[@]}"
build=$("$root/scripts/prepare.sh" "$program")
exec /usr/bin/python3 "$root/scripts/experiment.py" --build "$build" "${options[@]}" \
    "${arguments[@]}"
