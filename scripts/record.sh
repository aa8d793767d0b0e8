#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Records a run of a program as a looping animation of the frames it drew, played at the
# speed it ran, on any machine: the program runs in a private virtual X server.
#
#   scripts/record.sh [--seed SECOND] [--step MS] [--set FIELD=VALUE]... (--frames N PROGRAM | PROGRAM [SECONDS]) [FILE]
#
# SECONDS defaults to 4, FILE to out/PROGRAM.webp; a FILE ending in .gif makes a GIF.
# PROGRAM is a program's name (built first) or a path. --seed SECOND stops the program's
# wall clock at SECOND, so `--seed S PROGRAM` records again the run of
# scripts/experiment.sh whose seed column reads S. --step MS moves the program's frame
# clock on by exactly MS milliseconds a frame, and the animation then shows each frame for
# MS ms: the model's own time, not the machine's. --frames N records exactly N frames, in
# place of SECONDS.
# --set FIELD=VALUE, as many as needed, builds a variant of PROGRAM (a name) with those
# settings of include/settings.h changed, as a sweep builds one (in BUILD/sweep/), and
# runs that.
set -euo pipefail
. "$(dirname "$0")/options.sh"
take_seconds 4 1
exec "$(dirname "$0")/watch.sh" "${options[@]}" "$program" "${length[@]}" \
    --record "${rest[0]:-out/$(basename "$program").webp}"
