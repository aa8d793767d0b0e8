#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a program as scripts/record.sh does and writes where its creatures went:
# STEM.csv, every creature's position in every frame as the program handed it to OpenGL
# (frame,creature,x,y,rotation), and STEM.png, their paths as one long exposure.
#
#   scripts/trails.sh [--seed SECOND] [--step MS] [--set FIELD=VALUE]... (--frames N PROGRAM | PROGRAM [SECONDS]) [STEM]
#
# SECONDS defaults to 4, STEM to out/PROGRAM-trails. --seed SECOND stops the program's
# wall clock at SECOND, so `--seed S PROGRAM` traces again the run of scripts/experiment.sh
# whose seed column reads S. --step MS moves a timed program's frame clock on by exactly MS
# milliseconds a frame (an untimed program never reads it). --frames N runs exactly N
# frames, in place of SECONDS: with a seed, and a step for a timed program, the same
# command writes the same STEM.csv on any machine, however busy, and the run is not drawn:
# where the program places its creatures is recorded from beneath it (bench/placed.c).
# --set FIELD=VALUE, as many as needed, builds a variant of PROGRAM (a name) with those
# settings of include/settings.h changed, as a sweep builds one (in BUILD/sweep/), and
# runs that.
set -euo pipefail
. "$(dirname "$0")/options.sh"
take_seconds 4 1
stem=${rest[0]:-out/$(basename "$program")-trails}
exec "$(dirname "$0")/watch.sh" "${options[@]}" "$program" "${length[@]}" --csv "$stem.csv" \
    --trails "$stem.png"
