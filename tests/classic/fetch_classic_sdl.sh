#!/bin/sh
# SPDX-License-Identifier: MIT
# Unpacks the classic SDL 1.2 runtime (Debian's libsdl1.2debian, 1.2.15, and the libcaca0
# it links) into DEST, so that the end-to-end tests can run the programs on it beside the
# system's SDL 1.2. Installing it instead would replace the system's: it conflicts with
# libsdl1.2-compat-shim, which stands in for it wherever sdl12-compat is the SDL 1.2.
#   fetch_classic_sdl.sh DEST   -> DEST/lib holds libSDL-1.2.so.0; kept for later runs
set -eu

dest=${1:-}
if [ -z "$dest" ]; then
    echo "usage: $0 DEST" >&2
    exit 2
fi
packages="libsdl1.2debian libcaca0"

if [ -f "$dest/unpacked" ] && [ -e "$dest/lib/libSDL-1.2.so.0" ]; then
    echo "classic SDL already unpacked in $dest/lib"
    exit 0
fi

rm -rf "$dest"
mkdir -p "$dest"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# As root, apt downloads as its own unprivileged user, who must be able to write here.
if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then
    chown _apt "$work"
fi

cd "$work"
# shellcheck disable=SC2086  # the list is meant to split
if ! apt-get download $packages; then
    # A machine whose package lists were never fetched knows no package to download.
    if [ "$(id -u)" -ne 0 ]; then
        echo "apt-get download failed; run 'apt-get update' as root and try again" >&2
        exit 1
    fi
    apt-get update -q
    apt-get download $packages
fi

for deb in ./*.deb; do
    dpkg-deb -x "$deb" "$dest/root"
done
lib=$(find "$dest/root" -name libSDL-1.2.so.0 | head -n 1)
if [ -z "$lib" ]; then
    echo "no libSDL-1.2.so.0 in the unpacked packages" >&2
    exit 1
fi
# A fixed name, whatever the architecture's library folder is called.
ln -s "$(dirname "$lib")" "$dest/lib"
touch "$dest/unpacked"
echo "classic SDL unpacked in $dest/lib:"
ls -l "$dest/lib/"
