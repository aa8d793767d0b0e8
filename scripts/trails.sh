#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a program as scripts/record.sh does and writes where its creatures went:
# STEM.csv, every creature's position in every frame as the program handed it to OpenGL
# (frame,creature,x,y,rotation), and STEM.png, their paths as one long exposure.
#
#   scripts/trails.sh [--seed SECOND] PROGRAM [SECONDS] [STEM]
#
# SECONDS defaults to 4, STEM to out/PROGRAM-trails. --seed SECOND stops the program's
# wall clock at SECOND, so `--seed S PROGRAM` traces again the run of scripts/experiment.sh
# whose seed column reads S.
set -euo pipefail
seed=()
if [ "${1:-}" = --seed ] && [ $# -ge 2 ]; then
    seed=(--seed "$2")
    shift 2
fi
if [ $# -lt 1 ] || [ $# -gt 3 ] || [ "${1#-}" != "$1" ]; then
    grep -m1 '^#   scripts/' "$0" | sed 's/^# */usage: /' >&2
    exit 2
fi
stem=${3:-out/$(basename "$1")-trails}
exec "$(dirname "$0")/watch.sh" "${seed[@]}" "$1" "${2:-4}" --csv "$stem.csv" --trails "$stem.png"
