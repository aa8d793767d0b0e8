#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds into the folder given (default: build), with any extra CMake
# arguments after it. MOBLINGS_TARGETS, where set, names the targets to build, not all;
# MOBLINGS_CMAKE_WRAPPER, a command that configures through cmake (emcmake for the web).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
mkdir -p "$dir"
# Configured again only when asked for other settings than last time: the build checks
# its own CMake files and configures again where they changed, and the tools, which build
# before each run, then wait a second less each time. A new folder is made for Ninja,
# whose check that nothing is to be done takes a tenth of make's.
asked="$*"
if { [ ! -f "$dir/build.ninja" ] && [ ! -f "$dir/Makefile" ]; } ||
    { [ $# -gt 0 ] && [ "$asked" != "$(cat "$dir/configure.args" 2>/dev/null)" ]; }; then
    generator=()
    if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then
        generator=(-G Ninja)
    fi
    rm -f "$dir/configure.args"
    ${MOBLINGS_CMAKE_WRAPPER:+"$MOBLINGS_CMAKE_WRAPPER"} cmake -S . -B "$dir" "${generator[@]}" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir/configure.log" 2>&1 ||
        { cat "$dir/configure.log"; exit 1; }
    echo "$asked" >"$dir/configure.args"
fi
# shellcheck disable=SC2086 # the targets are words
cmake --build "$dir" -j"$(nproc)" ${MOBLINGS_TARGETS:+--target $MOBLINGS_TARGETS}
