#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in an ordinary build and
# once with AddressSanitizer and UndefinedBehaviorSanitizer. Warnings fail the build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

scripts/build.sh build -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
ctest --test-dir build --output-on-failure -j2

scripts/build.sh build-sanitize -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DMOBLINGS_SANITIZE=ON
ctest --test-dir build-sanitize --output-on-failure -j2
