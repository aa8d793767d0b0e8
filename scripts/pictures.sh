#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Remakes the README's pictures: runs each program for a few seconds (SECONDS_TO_SHOW,
# default 4) in a private virtual X server and writes, from that one run, its recording
# PROGRAM.webp and its trails PROGRAM-trails.png into docs/pictures/ (or the folder given).
# Programs named after the folder are the only ones remade.
# MOBLINGS_BUILD_DIR names another build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
pictures=${1:-docs/pictures}
shift || true
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=(moblings_timed moblings_herd moblings_fenced \
    moblings_spin moblings_wander moblings_solo moblings)
build=${MOBLINGS_BUILD_DIR:-build}
scripts/install-deps.sh
scripts/build.sh "$build" >/dev/null
mkdir -p "$pictures"
for program in "${programs[@]}"; do
    /usr/bin/python3 scripts/watch.py --build "$build" "$program" "${SECONDS_TO_SHOW:-4}" \
        --record "$pictures/$program.webp" --trails "$pictures/$program-trails.png" >/dev/null
done
