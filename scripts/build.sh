#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Configures and builds into the folder given (default: build), with any extra CMake
# arguments after it.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
mkdir -p "$dir"
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir/configure.log" 2>&1 ||
    { cat "$dir/configure.log"; exit 1; }
cmake --build "$dir" -j"$(nproc)"
