#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Records a run of a program as a looping animation of the frames it drew, played at the
# speed it ran, on any machine: the program runs in a private virtual X server.
#
#   scripts/record.sh PROGRAM [SECONDS] [FILE]
#
# SECONDS defaults to 4, FILE to out/PROGRAM.webp; a FILE ending in .gif makes a GIF.
# PROGRAM is a program's name (built first) or a path.
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 3 ]; then
    grep -m1 '^#   scripts/' "$0" | sed 's/^# */usage: /' >&2
    exit 2
fi
exec "$(dirname "$0")/watch.sh" "$1" "${2:-4}" --record "${3:-out/$(basename "$1").webp}"
