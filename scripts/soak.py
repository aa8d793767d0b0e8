# SPDX-License-Identifier: MIT
"""The long soak: runs each moving program for minutes, one after another, reading its
resident size every second and taking a screenshot every few seconds, with the heap its
own code holds counted by the preloaded heapwatch library; then closes its window as a
user would and prints a table of how memory moved and how the run ended.

    /usr/bin/python3 scripts/soak.py [MINUTES] [--build DIR] [--programs NAME,...]

MINUTES (default 5) is per program; DIR (default build) holds the programs and
tests/e2e/libheapwatch.so. A private Xvfb is started: no display needed. The end-to-end
suite runs the same watch for some seconds (tests/e2e, test_robustness.py, Soak). Exits
1 when a run did not end cleanly, stopped drawing or held more of the heap at its end.
"""

import argparse
import atexit
import os
import sys
import time
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402
import test_robustness as robustness  # noqa: E402

MOVING = [name for name, kind in robustness.KINDS.items() if kind.moves]


def checker(kind):
    """The program's own end-of-run checks, as its tests make them."""
    case = type("Check", (kind, unittest.TestCase), {"runTest": lambda self: None})
    return case()


def soak(path, seconds, heap):
    """One program's run, its own heap counted by the HeapWatch `heap`: a dict of what
    the table shows."""
    kind = robustness.kind_of(path)
    check = checker(kind)

    def shapes(img):
        return harness.census(img, *harness.CREATURE_PIXELS, check.max_side)

    row = dict(name=os.path.basename(path), problems=[])
    with harness.Program(path, env=heap.env) as p:
        try:
            p.wait_window()
            p.screenshot_when(lambda img: bool(harness.components(img)), "its first frame")
        except AssertionError as e:
            row["problems"].append(str(e).splitlines()[0])
            return row
        w = robustness.watch_run(p, seconds, shapes, heap, every=1.0, shot_every=5.0)
        row["problems"] += w.problems
        if len(w.held) == 2:
            row["heap"] = w.held[1][0] - w.held[0][0]
            if row["heap"]:
                row["problems"].append("our own heap grew by %d bytes" % row["heap"])
        kib = [k for _, k in w.readings]
        warm_up = max(10.0, seconds / 10)
        if kib and w.readings[-1][0] > warm_up:
            warm, late = robustness.growth(w.readings, warm_up)
            row.update(start=kib[0], warm=warm, end=kib[-1], max=max(kib), late=late,
                       warm_up=warm_up)
        row.update(shots=w.shots, with_creatures=w.with_creatures, frames=w.frames_at_end)
        if p.running():
            p.close_window()
            row["close"] = robustness.wait_exit(p, harness.EXIT_TIMEOUT)
        try:
            check.assertEndsNormally(p)
            row["clean"] = True
        except AssertionError as e:
            row["clean"] = False
            row["problems"].append("did not end normally: " + str(e).splitlines()[0])
    return row


def mib(kib):
    return "%.1f" % (kib / 1024)


def table(rows, minutes):
    head = ("program", "start MiB", "warm MiB", "end MiB", "max MiB", "growth KiB",
            "our heap's growth", "shots w/ creatures", "drawing at end", "closed cleanly")
    lines = [head]
    for r in rows:
        if "start" in r:
            memory = (mib(r["start"]), mib(r["warm"]), mib(r["end"]), mib(r["max"]),
                      "%+d" % (r["late"] - r["warm"]))
        else:
            memory = ("-",) * 5
        close = r.get("close")
        lines.append((r["name"], *memory, "%+d B" % r["heap"] if "heap" in r else "-",
                      "%d/%d" % (r["with_creatures"], r["shots"]) if "shots" in r else "-",
                      "yes" if r.get("frames") == 20 else "no",
                      ("yes, in %.3f s" % close if close is not None else "yes")
                      if r.get("clean") else "no"))
    widths = [max(len(str(line[i])) for line in lines) for i in range(len(head))]
    out = ["Soak: %g min per program. warm: the most resident memory in the warm-up, the "
           "first tenth of the run (at least 10 s); growth: the least in the last 2 s against "
           "it; our heap: what the programs' own code held at the end against the first "
           "frame." % minutes]
    for n, line in enumerate(lines):
        out.append("  ".join(str(v).rjust(w) if i else str(v).ljust(w)
                             for i, (v, w) in enumerate(zip(line, widths))))
        if n == 0:
            out.append("  ".join("-" * w for w in widths))
    for r in rows:
        for problem in r["problems"]:
            out.append("%s: %s" % (r["name"], problem))
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
    names = [n for n in args.programs.split(",") if n]
    paths = [os.path.join(args.build, n) for n in names]
    missing = [p for p in paths if not os.access(p, os.X_OK)]
    if missing:
        sys.exit("not built: %s (build first, or name the folder with --build)"
                 % ", ".join(missing))
    for path in paths:
        robustness.kind_of(path)  # an unknown name fails now, not minutes in
    heap = robustness.HeapWatch(os.path.join(args.build, "tests", "e2e", "libheapwatch.so"))
    atexit.register(heap.close)
    rows = []
    for path in paths:
        started = time.monotonic()
        print("soaking %s for %g min ..." % (os.path.basename(path), args.minutes), flush=True)
        rows.append(soak(path, args.minutes * 60, heap))
        print("  done in %.0f s" % (time.monotonic() - started), flush=True)
    print(table(rows, args.minutes))
    return 0 if all(r.get("clean") and not r["problems"] for r in rows) else 1


if __name__ == "__main__":
    sys.exit(main())
