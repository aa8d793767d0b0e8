#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs a build into a scratch prefix and checks that everything lands where Debian
# keeps games and toys: the programs in games/, one manual page that every program's name
# opens and that man finds nothing to warn about, the icon in the hicolor theme, and a
# valid desktop entry that names both.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "$*"; exit 1; }

page=$prefix/share/man/man6/moblings.6.gz
for program in moblings_timed moblings_herd moblings_fenced moblings_spin moblings_wander \
    moblings_solo moblings; do
    [ -x "$prefix/games/$program" ] || fail "missing: games/$program"
    found=$(man -M "$prefix/share/man" -w 6 "$program") || fail "no manual page for $program"
    [ "$(readlink -f "$found")" = "$page" ] || fail "man $program opens $found"
done
# The warnings lintian asks man for, and groff's own at their strictest.
report=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
report+=$(zcat "$page" | groff -ww -z -man 2>&1)
[ -z "$report" ] || fail "$report"

icon=$(sed -n 's/^Icon=//p' "$prefix/share/applications/moblings_timed.desktop")
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "missing: $icon.svg"
for size in 16 22 24 32 48 64 128 256; do
    [ -f "$prefix/share/icons/hicolor/${size}x$size/apps/$icon.png" ] ||
        fail "missing: ${size}x$size/apps/$icon.png"
done

entry=$prefix/share/applications/moblings_timed.desktop
# Hints count as failures too: a clean entry says nothing.
report=$(desktop-file-validate "$entry" 2>&1) || true
[ -z "$report" ] || fail "$report"
grep -qx 'Exec=moblings_timed' "$entry"
echo "installed into $prefix: seven programs, their manual page, the icon, a desktop entry"
