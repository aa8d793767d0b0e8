# SPDX-License-Identifier: MIT
"""The soak: a moving program watched for a while, seconds in the tests, minutes in
scripts/soak.py, and judged the same way: it stays up and keeps drawing its creatures,
the heap its own code holds does not change after the first frame, its resident size does
not run away, and it still closes normally.

The heap is counted by the preloaded heapwatch library (tests/e2e/heapwatch.cpp). Unlike
the resident size, the count does not move with the GL driver's caches or the machine's
load, so any growth at all is a leak of ours. The resident size moves in steps of half a
MiB as the software renderer keeps more or fewer frames in flight, more of them on a
loaded machine; it is only held to a bound far above that, against memory running away.
"""

import os
import shutil
import struct
import tempfile
import time
from collections import namedtuple

from lab.pictures import CREATURE_PIXELS, census, components
from lab.run import EXIT_TIMEOUT, FrameWatch, Program, rss_kib, wait_exit

PATIENCE = 60.0    # s: how long to wait for something that should come
RSS_SLACK = 16384  # KiB the resident size may grow by after its warm-up
FRAMES = 20        # frames a program must still draw at the end


class HeapWatch:
    """What a program's own code holds on the heap, as the heapwatch library counts it."""

    def __init__(self, library):
        if not library or not os.path.exists(library):
            raise ValueError("no heapwatch library to preload: %r (built with the tests, in "
                             "BUILD/tests/e2e/libheapwatch.so)" % library)
        self.folder = tempfile.mkdtemp(prefix="heapwatch-")
        self.env = {"LD_PRELOAD": " ".join(filter(None, [os.environ.get("LD_PRELOAD"),
                                                         library])),
                    "HEAPWATCH_DIR": self.folder}

    def held(self, pid):
        """(bytes, blocks) that the code of process `pid` holds now."""
        with open(os.path.join(self.folder, str(pid)), "rb") as f:
            held, blocks, overflowed = struct.unpack("=qqq", f.read(24))
        if overflowed:
            raise ValueError("the program held more blocks than heapwatch can count")
        return held, blocks

    def close(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def drawing(p, moves, what):
    """Whether a running program still draws: FRAMES frames come, and where it moves, the
    picture changes. (problem or None, seconds to the first frame, to the last.)"""
    watch = FrameWatch(p)
    try:
        frames, first, last = watch.count(FRAMES, PATIENCE)
    finally:
        watch.close()
    if not p.running():
        return "ended %s" % what, first, last
    if frames < FRAMES:
        return "%d frames of %d drawn in %.0f s %s" % (frames, FRAMES, PATIENCE, what), first, last
    if moves:
        before = p.screenshot()
        if components(before):  # nothing moves in an empty picture
            try:
                p.screenshot_when(lambda img: img.tobytes() != before.tobytes(),
                                  "any movement %s" % what, timeout=PATIENCE)
            except AssertionError:
                return "nothing moved %s" % what, first, last
    return None, first, last


def growth(readings, warm_up, tail=2.0):
    """(warm, late): the largest resident size in the first `warm_up` seconds, the
    smallest in the last `tail` seconds. Memory settles in steps, most of them early, and
    goes up and down by a step now and then; a leak raises the late readings for good."""
    end = readings[-1][0]
    warm = [kib for t, kib in readings if t <= warm_up]
    late = [kib for t, kib in readings if t >= end - tail]
    return max(warm), min(late)


Soak = namedtuple("Soak", "problems readings warm late shots with_creatures counts held closed")
Soak.__doc__ = """What a soak saw: problems (empty when it passed); resident sizes
[(seconds, KiB)], the warm and late ones; screenshots taken, how many showed creatures,
and the creatures in each; the heap held [(bytes, blocks)] at the first frame and the end;
seconds the close took."""


def soak(path, program, seconds, heap, every=0.5, shot_every=1.0, warm_up=None):
    """Runs `program` (a lab.programs description of the program at `path`) for
    `seconds` after its first frame, its heap counted by the HeapWatch `heap`, reading its
    resident size every `every` seconds and its window every `shot_every` seconds; closes
    it and judges the run."""
    warm_up = warm_up if warm_up is not None else max(seconds / 10, min(10.0, seconds / 2))
    # Ten looks at the window at least, however short the run: a timed program's strays
    # are all in view only now and then, and one look may find two of them on one spot.
    shot_every = min(shot_every, seconds / 10)
    problems, readings, counts, held = [], [], [], []
    shots = with_creatures = 0
    closed = None
    with Program(path, env=heap.env) as p:
        try:
            p.wait_window()
            p.screenshot_when(lambda img: bool(components(img)), "its first frame")
        except AssertionError as e:
            return Soak([str(e).splitlines()[0]], [], 0, 0, 0, 0, [], [], None)
        held.append(heap.held(p.proc.pid))
        start = time.monotonic()
        next_shot = start
        while time.monotonic() - start < seconds:
            now = time.monotonic()
            kib = rss_kib(p.proc.pid)
            if kib is None or not p.running():
                problems.append("ended after %.1f s" % (now - start))
                break
            readings.append((now - start, kib))
            if now >= next_shot:
                next_shot += shot_every
                c = census(p.screenshot(), *CREATURE_PIXELS, program.max_side)
                shots += 1
                with_creatures += c.shapes > 0
                counts.append(c.shapes)
                if c.problems:
                    problems.append("%.1f s: %s" % (now - start, c.problems))
            time.sleep(max(0.0, start + len(readings) * every - time.monotonic()))
        warm = late = 0
        if not problems:
            held.append(heap.held(p.proc.pid))
            if held[1] != held[0]:
                problems.append("our own heap grew from %d bytes in %d blocks to %d in %d"
                                % (*held[0], *held[1]))
            warm, late = growth(readings, warm_up)
            if late > warm + RSS_SLACK:
                problems.append("the resident size grew from %d to %d KiB after the warm-up"
                                % (warm, late))
            if not with_creatures:
                problems.append("no creature in %d screenshots" % shots)
            elif program.timed and program.population not in counts[-5:]:
                # Strays come home, so all are seen now and then; one lost for good (its
                # place not a number) never is again.
                problems.append("creatures missing at the end: %s" % counts)
            problem = drawing(p, program.moves, "after %.0f s" % seconds)[0]
            if problem:
                problems.append(problem)
        if p.running():
            p.close_window()
            closed = wait_exit(p, EXIT_TIMEOUT)
        problem = ending(p, program)
        if problem:
            problems.append("did not end normally: " + problem)
    return Soak(problems, readings, warm, late, shots, with_creatures, counts, held, closed)


def ending(p, program):
    """What is wrong with how a run that was told to end ended, or None."""
    try:
        status, out = p.wait()
    except AssertionError as e:
        return str(e).splitlines()[0]
    start, end = out[:len(program.start_lines)], out[len(program.start_lines):]
    if status != 0:
        return "status %d" % status
    if start != program.start_lines:
        return "wrote %r before its window" % start
    return program.end_problem(end)
