#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks that the programs and the desktop
# entry land in the usual places, and that the entry is valid.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for program in moblings_timed moblings_herd moblings_fenced moblings_spin moblings_wander \
    moblings_solo moblings; do
    [ -x "$prefix/bin/$program" ] || { echo "missing: bin/$program"; exit 1; }
done
entry=$prefix/share/applications/moblings_timed.desktop
[ -f "$entry" ] || { echo "missing: share/applications/moblings_timed.desktop"; exit 1; }
# Hints count as failures too: a clean entry says nothing.
report=$(desktop-file-validate "$entry" 2>&1) || true
if [ -n "$report" ]; then
    echo "$report"
    exit 1
fi
grep -qx 'Exec=moblings_timed' "$entry"
echo "installed into $prefix: seven programs and a valid desktop entry"
