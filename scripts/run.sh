#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and starts a program (default: moblings_timed).
# Without a display it runs the program in a virtual X server for a few seconds instead,
# saves a screenshot of its window in out/ and prints where it is.
# MOBLINGS_BUILD_DIR names another build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-moblings_timed}
build=${MOBLINGS_BUILD_DIR:-build}
scripts/install-deps.sh
scripts/build.sh "$build" >/dev/null
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$build/$program"
fi
mkdir -p out
exec /usr/bin/python3 scripts/showcase.py "$build/$program" "out/$program.png" \
    "${SECONDS_TO_SHOW:-4}"
