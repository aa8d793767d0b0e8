#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs, from Debian's packages, everything the programs and their tests need that the
# machine lacks; with --web, also what builds them for web browsers (Emscripten) and their
# site (python3-markdown, which writes the manual into it and reads it for the link test),
# what tests them there (Chromium, Firefox ESR and WebKitGTK with its WebDriver, and ffprobe
# for the pages' recordings), and npm where it is missing. SDL 1.2 comes as
# sdl12-compat unless the classic library is already installed (or asked for with
# MOBLINGS_SDL=classic): the two -dev packages conflict.
set -euo pipefail

packages=(g++ cmake make ninja-build libgl1-mesa-dev libglu1-mesa-dev libgles-dev libegl-dev libegl-mesa0
          libgtest-dev xvfb xauth python3-xlib python3-pil faketime clang-tidy cppcheck binutils
          desktop-file-utils libbenchmark-dev valgrind libc6-dbg lintian librsvg2-bin
          apitrace imagemagick webp gifsicle python3-matplotlib)
case "${1:-}" in
    "") ;;
    --web) packages+=(emscripten chromium chromium-driver python3-selenium ffmpeg
                      python3-markdown firefox-esr webkit2gtk-driver libwebkit2gtk-4.1-0) ;;
    *) echo "usage: $0 [--web]" >&2; exit 2 ;;
esac
# npm installs the pages' libraries; a machine may have its own node and npm, not Debian's.
if [ "${1:-}" = --web ] && ! command -v npm >/dev/null; then packages+=(npm); fi

# A package whose triggers are still to run (another install, a moment ago, set them off)
# is installed all the same.
installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null |
        grep -qE '^install ok (installed|triggers-pending|triggers-awaited)$'
}

if [ "${MOBLINGS_SDL:-}" = classic ] || { [ -z "${MOBLINGS_SDL:-}" ] && installed libsdl1.2-dev; }; then
    packages+=(libsdl1.2-dev)
else
    packages+=(libsdl1.2-compat-dev)
fi

# One query for them all: every tool of ours starts here, and a query for each package
# took a second and a half each time.
mapfile -t missing < <(
    dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
        awk '$4 ~ /^(installed|triggers-pending|triggers-awaited)$/ && $2 == "install" { print $1 }' |
        sort -u | comm -13 - <(printf '%s\n' "${packages[@]}" | sort -u))
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
# One call is far quicker than several; --no-upgrade leaves the installed Mesa alone.
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    --no-upgrade "${missing[@]}"
