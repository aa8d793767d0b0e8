# SPDX-License-Identifier: MIT
"""The long soak: each moving program watched for minutes, one after another, as the
end-to-end tests watch each for seconds (lab.soak): its resident size read every second,
its window every five, the heap its own code holds counted by the preloaded heapwatch
library; then its window closed as a user would. Prints a table of how memory moved and
how each run ended.

    /usr/bin/python3 scripts/soak.py [MINUTES] [--build DIR] [--programs NAME,...]

MINUTES (default 5) is per program; DIR (default build) holds the programs and
tests/e2e/libheapwatch.so. A private Xvfb is started: no display needed. Exits 1 when a
run failed the soak.
"""

import argparse
import atexit
import os
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, ROOT)
from lab import programs, soak  # noqa: E402

MOVING = [name for name, program in programs.PROGRAMS.items() if program.moves]


def mib(kib):
    return "%.1f" % (kib / 1024)


def table(rows, minutes):
    head = ("program", "start MiB", "warm MiB", "end MiB", "max MiB", "growth KiB",
            "our heap's growth", "shots w/ creatures", "closed")
    lines = [head]
    for name, w in rows:
        kib = [k for _, k in w.readings]
        memory = (mib(kib[0]), mib(w.warm), mib(kib[-1]), mib(max(kib)),
                  "%+d" % (w.late - w.warm)) if kib and w.warm else ("-",) * 5
        heap = "%+d B" % (w.held[1][0] - w.held[0][0]) if len(w.held) == 2 else "-"
        lines.append((name, *memory, heap, "%d/%d" % (w.with_creatures, w.shots),
                      "in %.3f s" % w.closed if w.closed is not None else "-"))
    widths = [max(len(str(line[i])) for line in lines) for i in range(len(head))]
    out = ["Soak: %g min per program. warm: the most resident memory in the warm-up, the "
           "first tenth of the run; growth: the least in the last 2 s against it; our heap: "
           "what the programs' own code held at the end against the first frame." % minutes]
    for n, line in enumerate(lines):
        out.append("  ".join(str(v).rjust(w) if i else str(v).ljust(w)
                             for i, (v, w) in enumerate(zip(line, widths))))
        if n == 0:
            out.append("  ".join("-" * w for w in widths))
    for name, w in rows:
        out += ["%s: %s" % (name, problem) for problem in w.problems]
        if not w.problems:
            out.append("%s: passed" % name)
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("minutes", nargs="?", type=float, default=5.0,
                        help="how long each program runs (default 5)")
    parser.add_argument("--build", default=os.path.join(ROOT, "build"),
                        help="the folder the programs are built in (default build)")
    parser.add_argument("--programs", default=",".join(MOVING),
                        help="which programs, comma-separated (default: every moving one)")
    args = parser.parse_args()
    try:
        chosen = [programs.describe(n) for n in args.programs.split(",") if n]
    except ValueError as e:
        sys.exit(str(e))
    paths = [os.path.join(args.build, p.name) for p in chosen]
    missing = [p for p in paths if not os.access(p, os.X_OK)]
    if missing:
        sys.exit("not built: %s (build first, or name the folder with --build)"
                 % ", ".join(missing))
    heap = soak.HeapWatch(os.path.join(args.build, "tests", "e2e", "libheapwatch.so"))
    atexit.register(heap.close)
    rows = []
    for path, program in zip(paths, chosen):
        started = time.monotonic()
        print("soaking %s for %g min ..." % (program.name, args.minutes), flush=True)
        rows.append((program.name, soak.soak(path, program, args.minutes * 60, heap,
                                             every=1.0, shot_every=5.0)))
        print("  done in %.0f s" % (time.monotonic() - started), flush=True)
    print(table(rows, args.minutes))
    return 0 if not any(w.problems for _, w in rows) else 1


if __name__ == "__main__":
    sys.exit(main())
