#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing (Debian's emscripten), builds the seven programs for web
# browsers into build-web/ and writes their site to build-web/site/: an index and a page
# for each program. The folder is complete as it is: copy it to any static web host.
#
#   scripts/web.sh [--serve]
#
# With --serve it then serves the site on a local port and prints the address to open.
# MOBLINGS_WEB_BUILD_DIR names another build folder (default: build-web).
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
    "") serve=false ;;
    --serve) serve=true ;;
    *) grep -m1 '^#   scripts/' "$0" | sed 's/^# */usage: /' >&2; exit 2 ;;
esac
scripts/install-deps.sh --web
build=${MOBLINGS_WEB_BUILD_DIR:-build-web}
# Emscripten's tools run on node, which finds Debian's modules only when told where.
export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs
mkdir -p "$build"
emcmake cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=MinSizeRel >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j"$(nproc)"
echo "The site is in $build/site/"
if $serve; then
    PYTHONPATH=$PWD exec /usr/bin/python3 -m lab.web "$build/site"
fi
