#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing (Debian's emscripten), builds the seven programs for web
# browsers into build-web/ and writes their site to build-web/site/: an index and a page
# for each program. The folder is complete as it is: copy it to any static web host.
#
#   scripts/web.sh [--serve | --screenshots FOLDER]
#
# --serve then serves the site on a free local port and prints the address to open;
# --screenshots saves pictures of the index and of a program's page, taken in headless
# Chromium, into FOLDER (web-index.png, web-page.png).
# MOBLINGS_WEB_BUILD_DIR names another build folder (default: build-web).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage() { grep -m1 '^#   scripts/' "$0" | sed 's/^# */usage: /' >&2; exit 2; }
case "${1:-}" in
    "") [ $# -eq 0 ] || usage ;;
    --serve) [ $# -eq 1 ] || usage ;;
    --screenshots) [ $# -eq 2 ] || usage; mkdir -p "$2"; shots=$(cd "$2" && pwd) ;;
    *) usage ;;
esac
cd "$root"
scripts/install-deps.sh --web
build=${MOBLINGS_WEB_BUILD_DIR:-build-web}
# Emscripten's tools run on node, which finds Debian's modules only when told where.
export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs
# Debian's Emscripten is what the packages installed, not a checkout to check: its check,
# run at each of its seventy calls, was a tenth of the build.
export EMCC_SKIP_SANITY_CHECK=1
mkdir -p "$build"
# Optimised for speed: this Emscripten's -Os leaves even std::max a call, and -O3 runs a
# page's passes about twice as fast for a download a kilobyte larger.
MOBLINGS_CMAKE_WRAPPER=emcmake scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release \
    >"$build/build.log" 2>&1 || { cat "$build/build.log"; exit 1; }
echo "The site is in $build/site/"
case "${1:-}" in
    --serve) PYTHONPATH=$root exec /usr/bin/python3 -m lab.web "$build/site" ;;
    --screenshots) PYTHONPATH=$root exec /usr/bin/python3 -m lab.web "$build/site" --screenshots "$shots" ;;
esac
