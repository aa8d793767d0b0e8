#!/usr/bin/env bash
# Remakes the README's pictures: runs each program for a moment in a virtual X server and
# saves a screenshot of its window in docs/pictures/ (or the folder given).
# MOBLINGS_BUILD_DIR names another build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
pictures=${1:-docs/pictures}
build=${MOBLINGS_BUILD_DIR:-build}
scripts/install-deps.sh
scripts/build.sh "$build" >/dev/null
mkdir -p "$pictures"
for program in moblings_timed moblings_herd moblings_fenced moblings_spin moblings_wander \
    moblings_solo moblings; do
    # DISPLAY unset: showcase.py then starts a virtual X server of its own.
    env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/python3 scripts/showcase.py "$build/$program" \
        "$pictures/$program.png" "${SECONDS_TO_SHOW:-2}" >/dev/null
    echo "$pictures/$program.png"
done
