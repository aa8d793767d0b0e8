# SPDX-License-Identifier: MIT
"""Checks that a built program carries the hardening a release build promises:
position-independent, full RELRO, the stack protector linked in, and every one of its
sources compiled with fortified calls and the strong stack protector.

    /usr/bin/python3 check_hardening.py PROGRAM COMPILE_COMMANDS.json TARGET
"""

import json
import subprocess
import sys


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def problems(program, commands_file, target):
    found = []
    if "DYN (Position-Independent Executable" not in run("readelf", "-hW", program):
        found.append("not a position-independent executable")
    if "GNU_RELRO" not in run("readelf", "-lW", program):
        found.append("no RELRO segment")
    dynamic = run("readelf", "-dW", program)
    if "BIND_NOW" not in dynamic and "Flags: NOW" not in dynamic:
        found.append("relocations not bound at start-up (RELRO only partial)")
    if "__stack_chk_fail" not in run("nm", "-D", program):
        found.append("no stack protector in the program")

    with open(commands_file) as f:
        entries = [e for e in json.load(f)
                   if "/%s.dir/" % target in e.get("output", e["command"])]
    if not entries:
        found.append("no compile commands for %s" % target)
    for entry in entries:
        for flag in ("-D_FORTIFY_SOURCE=2", "-fstack-protector-strong"):
            if flag not in entry["command"].split():
                found.append("%s compiled without %s" % (entry["file"], flag))
    return found


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    found = problems(*sys.argv[1:])
    for p in found:
        print("%s: %s" % (sys.argv[1], p))
    if not found:
        print("%s: hardened" % sys.argv[1])
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
