#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Follows the README's walkthrough for adding a program, in a copy of the source tree:
# a new folder with a program.h, one line in CMakeLists.txt, a build. Then runs the new
# program without a display and checks that its settings took effect.
set -euo pipefail
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$src/CMakeLists.txt" "$src/include" "$src/src" "$src/programs" "$src/data" "$work/"
cd "$work"

mkdir programs/moblings_trio
cat > programs/moblings_trio/program.h <<'PROGRAM'
// moblings_trio: three untimed creatures that turn anywhere.
#ifndef PROGRAM_H_
#define PROGRAM_H_

#include "settings.h"

using Position = float;

constexpr settings SETTINGS = {
    .Population = 3,
    .Timed = false,
    .TurnAnywhere = true,
};

#endif
PROGRAM
echo 'add_moblings_program(moblings_trio)' >> CMakeLists.txt
cmake -S . -B build -DMOBLINGS_TESTS=OFF -DMOBLINGS_BENCH=OFF >/dev/null
cmake --build build --target moblings_trio >/dev/null

status=0
out=$(SDL_VIDEODRIVER=dummy build/moblings_trio) || status=$?
expected=$(printf 'spawning!\nspawning!\nspawning!\nerror setting video mode\nError initializing SDL')
if [ "$out" != "$expected" ] || [ $status -ne 1 ]; then
    printf 'moblings_trio wrote (status %d):\n%s\n' $status "$out"
    exit 1
fi
echo "moblings_trio built from its program.h and made three creatures"
