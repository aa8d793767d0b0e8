#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and runs the tests. Warnings fail the build.
#
#   scripts/test.sh           every test: once in an ordinary build and once with
#                             AddressSanitizer and UndefinedBehaviorSanitizer (what CI runs)
#   scripts/test.sh --quick   the unit tests of every program and one end-to-end run of each
#                             (window, creatures, closed, exact lines, status 0): the loop
#                             after a change
# MOBLINGS_BUILD_DIR names another folder for the ordinary build (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
    "") quick=false ;;
    --quick) quick=true ;;
    *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
esac
scripts/install-deps.sh --web

# Every test that shows a window has an X server of its own, and many of them wait on the
# program more than they work: the browsers' pages, above all, run in real time. With a job
# more than the cores, a full run kept only 1.4 of 2 cores busy; twice the cores keep both.
jobs=$((2 * $(nproc)))

build=${MOBLINGS_BUILD_DIR:-build}
if $quick; then
    scripts/build.sh "$build" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
    exec ctest --test-dir "$build" --output-on-failure -j"$jobs" -L '^(unit|quick)$'
fi
# The web build beside the desktop's, not as the first of the tests: the tests in browsers,
# half of all, then start with the others instead of all of them after it. Its own test
# (web.build) builds it again where this failed, and says why.
scripts/web.sh >/dev/null 2>&1 &
web=$!
scripts/build.sh "$build" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
wait "$web" || true
ctest --test-dir "$build" --output-on-failure -j"$jobs"

# Unoptimised: it builds in half the time, and the sanitizers check what the code does, not
# how fast it does it. Not built while the tests above run: beside them it made the whole
# run three minutes longer, not shorter.
scripts/build.sh build-sanitize -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DMOBLINGS_SANITIZE=ON \
    -DMOBLINGS_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
