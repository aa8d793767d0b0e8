#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Records a run of a program as a looping animation of the frames it drew, played at the
# speed it ran, on any machine: the program runs in a private virtual X server.
#
#   scripts/record.sh [--seed SECOND] PROGRAM [SECONDS] [FILE]
#
# SECONDS defaults to 4, FILE to out/PROGRAM.webp; a FILE ending in .gif makes a GIF.
# PROGRAM is a program's name (built first) or a path. --seed SECOND stops the program's
# wall clock at SECOND, so `--seed S PROGRAM` records again the run of
# scripts/experiment.sh whose seed column reads S.
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
exec "$(dirname "$0")/watch.sh" "${seed[@]}" "$1" "${2:-4}" \
    --record "${3:-out/$(basename "$1").webp}"
