#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds into the folder given (default: build), with any extra CMake
# arguments after it. MOBLINGS_TARGETS, where set, names the targets to build, not all.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
mkdir -p "$dir"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir/configure.log" 2>&1 ||
    { cat "$dir/configure.log"; exit 1; }
# shellcheck disable=SC2086 # the targets are words
cmake --build "$dir" -j"$(nproc)" ${MOBLINGS_TARGETS:+--target $MOBLINGS_TARGETS}
