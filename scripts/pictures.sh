#!/usr/bin/env bash
# Remakes the README's pictures: runs each program for a moment in a virtual X server and
# saves a screenshot of its window in docs/pictures/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build >/dev/null
for program in moblings_timed moblings_herd moblings_fenced moblings_spin moblings_wander \
    moblings_solo moblings; do
    # DISPLAY unset: showcase.py then starts a virtual X server of its own.
    env -u DISPLAY /usr/bin/python3 scripts/showcase.py "build/$program" \
        "docs/pictures/$program.png" "${SECONDS_TO_SHOW:-2}" >/dev/null
    echo "docs/pictures/$program.png"
done
