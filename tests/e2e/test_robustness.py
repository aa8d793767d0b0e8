# SPDX-License-Identifier: MIT
"""End-to-end robustness of every program: a flood of input while it runs,
frames seconds long, and a run long enough for a leak or a stall to show.

    /usr/bin/python3 test_robustness.py path/to/moblings_timed [TestClass]

CMakeLists.txt registers the classes once for each program; which program a
run looks at is the one named on the command line, described as its own test
file describes it. The figures each test measures (how fast a close is
honoured, how long creatures take to come home, how memory moves) go to
standard error as lines starting with "figure:"; the only bounds on time are
generous ones, so that a slow or busy machine does not fail them, and memory is
judged by what the program's own code holds, not by what the GL driver keeps.

scripts/soak.py runs the same watch as Soak for minutes instead of seconds.
"""

import os
import select
import shutil
import signal
import struct
import sys
import tempfile
import threading
import time
from collections import namedtuple

from Xlib import X, XK, display as xdisplay, protocol
from Xlib.ext import damage, xtest

import harness
import test_fenced
import test_herd
import test_solo
import test_spin
import test_static
import test_timed
import test_wander

# What each program shows and writes, as its own test file describes it.
KINDS = {
    "moblings_timed": test_timed.Reference,
    "moblings_herd": test_herd.Herd,
    "moblings_fenced": test_fenced.Fenced,
    "moblings_spin": test_spin.Spin,
    "moblings_wander": test_wander.Wander,
    "moblings_solo": test_solo.Solo,
    "moblings": test_static.Static,
}
PLANTED = {"soak_planted_leak": test_timed.Reference}  # the reference with a leak planted

FLOOD_ROUNDS = 5000  # each: a key pressed and released, a motion, an Expose
PAUSE = 2.0          # s the program is stopped for, in LongFrames
PATIENCE = 60.0      # s: how long a test waits for something that should come
# The resident size moves in steps of half a MiB as the software renderer keeps more or
# fewer frames in flight, more of them on a loaded machine; our own leaks are found by the
# heap count instead, and this bound only catches memory running away.
RSS_SLACK = 16384    # KiB a run may grow by after its warm-up
KEYS = ["a", "q", "x", "z", "1", "space", "Return", "Escape", "Tab", "BackSpace",
        "F1", "F4", "F10", "Up", "Left", "Delete"]


def figure(text):
    """A measured figure, for whoever reads the test log."""
    print("figure: " + text, file=sys.stderr, flush=True)


def rss_kib(pid):
    """The resident size of a process, KiB; None once it is gone."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def wait_exit(p, bound):
    """Seconds until the program ends, polled finely; None if it is still
    running after `bound` seconds."""
    start = time.monotonic()
    while p.running():
        if time.monotonic() - start > bound:
            return None
        time.sleep(0.002)
    return time.monotonic() - start


class FrameWatch:
    """Counts the frames a program puts on its window.

    The X DAMAGE extension reports when anything is drawn into the window
    after we last cleared its damage: each report is at least one frame
    presented. This sees a still program draw, which screenshots cannot.
    Windows inside it are watched too, in case an SDL draws into a child
    window; a frame may then count twice."""

    def __init__(self, p):
        self.d = xdisplay.Display(p.display)
        if not self.d.has_extension("DAMAGE"):
            raise AssertionError("the X server has no DAMAGE extension")
        self.d.damage_query_version()  # the protocol wants this before any other request
        windows = [self.d.create_resource_object("window", p.window.id)]
        for w in windows:
            windows.extend(w.query_tree().children)
        self.damages = [w.damage_create(damage.DamageReportNonEmpty) for w in windows]
        self.notify = self.d.extension_event.DamageNotify
        self.d.sync()

    def clear(self):
        for d in self.damages:
            self.d.damage_subtract(d)
        self.d.flush()

    def count(self, frames, timeout):
        """Waits for `frames` frames; returns how many came within `timeout`
        seconds, and the seconds until the first and the last of them."""
        seen, first, last = 0, None, None
        start = time.monotonic()
        deadline = start + timeout
        # Reports already on their way are of frames before this count. Once
        # one is dropped, the server sends no other until the damage is
        # cleared again, so clear it after dropping them.
        self.clear()
        self.d.sync()
        while self.d.pending_events():
            self.d.next_event()
        self.clear()
        while seen < frames:
            left = deadline - time.monotonic()
            if left <= 0:
                break
            if not self.d.pending_events():
                select.select([self.d], [], [], min(left, 0.1))
            while self.d.pending_events() and seen < frames:
                ev = self.d.next_event()
                if ev.type & 0x7F == self.notify:
                    seen += 1
                    last = time.monotonic() - start
                    if first is None:
                        first = last
                    self.clear()
        return seen, first, last

    def close(self):
        self.d.close()


class Flooder:
    """Input aimed at one window as fast as the X server takes it, from a
    connection of its own: keys pressed and released and pointer motions and
    clicks, through XTest as a keyboard and a mouse make them, and Expose
    events sent to the window as the server sends them when it is uncovered."""

    def __init__(self, p):
        self.p = p
        self.d = xdisplay.Display(p.display)
        self.window = self.d.create_resource_object("window", p.window.id)
        root = self.d.screen().root
        origin = root.translate_coords(self.window, 0, 0)
        g = self.window.get_geometry()
        self.left, self.top, self.width, self.height = origin.x, origin.y, g.width, g.height
        self.codes = []
        for name in KEYS:
            code = self.d.keysym_to_keycode(XK.string_to_keysym(name))
            if code:
                self.codes.append(code)
        if len(self.codes) < len(KEYS) // 2:
            raise AssertionError("the X server maps few of the keys %s" % KEYS)
        self.window.set_input_focus(X.RevertToParent, X.CurrentTime)
        self.window.warp_pointer(self.width // 2, self.height // 2)
        self.d.sync()
        self.sent = dict(keys=0, motions=0, exposes=0, clicks=0)
        self.seconds = 0.0

    def send(self, rounds):
        """Sends `rounds` rounds; stops early if the program has ended (its
        window is gone and the X server answers with errors)."""
        start = time.monotonic()
        expose = protocol.event.Expose(window=self.window, x=0, y=0, width=self.width,
                                       height=self.height, count=0)
        for i in range(rounds):
            code = self.codes[i % len(self.codes)]
            xtest.fake_input(self.d, X.KeyPress, code)
            xtest.fake_input(self.d, X.KeyRelease, code)
            # A walk over the whole window that does not repeat soon.
            x = self.left + (i * 37) % self.width
            y = self.top + (i * 53) % self.height
            xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
            self.window.send_event(expose, event_mask=X.NoEventMask)
            self.sent["keys"] += 1
            self.sent["motions"] += 1
            self.sent["exposes"] += 1
            if i % 8 == 0:
                button = 1 + (i // 8) % 5  # the wheel too
                xtest.fake_input(self.d, X.ButtonPress, button)
                xtest.fake_input(self.d, X.ButtonRelease, button)
                self.sent["clicks"] += 1
            if i % 50 == 49:
                # A round trip now and then: the server has then taken
                # everything, and our own buffer stays small.
                self.d.sync()
                if not self.p.running():
                    break
        self.d.sync()
        self.seconds = time.monotonic() - start

    def describe(self):
        events = (2 * self.sent["keys"] + self.sent["motions"] + self.sent["exposes"]
                  + 2 * self.sent["clicks"])
        return ("%(keys)d key presses, %(motions)d motions, %(exposes)d Exposes, "
                "%(clicks)d clicks" % self.sent) + (
                    " (%d events) in %.2f s, %.0f events/s"
                    % (events, self.seconds, events / max(self.seconds, 1e-6)))

    def close(self):
        self.d.close()


class RobustnessCase:
    """Helpers shared by the groups below; mixed with a program's description."""

    def shapes(self, img):
        return harness.census(img, *harness.CREATURE_PIXELS, self.max_side)

    def watch_frames(self, p):
        w = FrameWatch(p)
        self.addCleanup(w.close)
        return w

    def assertStillDrawing(self, p, watch, what):
        """Frames keep coming, and in a program that moves, the picture with
        them. Returns the seconds until the first and the twentieth frame."""
        frames, first, last = watch.count(20, PATIENCE)
        self.assertTrue(p.running(), "%s: ended %s\n%s" % (p.name, what, p.describe()))
        self.assertEqual(frames, 20, "%s: %d frames of 20 drawn in %.0f s %s\n%s"
                         % (p.name, frames, PATIENCE, what, p.describe()))
        if self.moves:
            before = p.screenshot()
            if harness.components(before):  # nothing moves in an empty picture
                p.screenshot_when(lambda img: img.tobytes() != before.tobytes(),
                                  "any movement %s" % what, timeout=PATIENCE)
        return first, last


class FloodTests(RobustnessCase):
    """Keys, the mouse and Expose events mean nothing to these programs:
    thousands of them as fast as they come change nothing."""

    def test_keeps_running_through_a_flood_and_closes_after_it(self):
        p = self.start()
        still = p.screenshot()
        watch = self.watch_frames(p)
        flood = Flooder(p)
        self.addCleanup(flood.close)
        sender = threading.Thread(target=flood.send, args=(FLOOD_ROUNDS,))
        sender.start()
        alive, during = True, 0
        while sender.is_alive():
            alive = alive and p.running()
            during += watch.count(10 ** 6, 0.02)[0]
        sender.join()
        self.assertTrue(alive and p.running(), "ended during the flood\n" + p.describe())
        self.assertGreaterEqual(flood.sent["keys"], FLOOD_ROUNDS)

        # The program may still be working through what queued up for it;
        # once it draws again it has caught up.
        first, twentieth = self.assertStillDrawing(p, watch, "after the flood")
        img = p.screenshot()
        self.assertEqual(harness.stray_pixels(img), [], "colours other than black and pure blue")
        c = self.shapes(img)
        self.assertEqual(c.problems, [])
        self.assertLessEqual(c.shapes, self.population, c)
        if not self.moves:
            self.assertEqual(img.tobytes(), still.tobytes(), "the input moved still creatures")

        p.close_window()
        took = wait_exit(p, harness.EXIT_TIMEOUT)
        self.assertIsNotNone(took, "still running %.0f s after the window was closed\n%s"
                             % (harness.EXIT_TIMEOUT, p.describe()))
        figure("%s flood: %s; %d frames meanwhile; after it, a frame in %.3f s, twenty in "
               "%.3f s; closed in %.3f s" % (p.name, flood.describe(), during, first, twentieth,
                                             took))
        self.assertEndsNormally(p)


class LongFrameTests(RobustnessCase):
    """A frame seconds long (the machine paused, the process stopped) carries
    each creature speed x heading x frame time at once, far out of the field
    and the window; from there every one steers home, and none is lost on the
    way (a creature whose place became not-a-number would never be drawn)."""

    def all_home(self, img):
        c = self.shapes(img)
        return c.shapes == self.population and c.clipped == 0 and not c.problems

    def test_creatures_come_home_after_a_long_frame(self):
        if not isinstance(self, harness.Timed):
            self.skipTest("only a timed program's steps grow with the frame time")
        p = self.start()
        p.screenshot_when(self.all_home, "all %d creatures in the field" % self.population,
                          timeout=PATIENCE)

        p.signal(signal.SIGSTOP)
        try:
            time.sleep(PAUSE)
        finally:
            p.signal(signal.SIGCONT)
        went_on = time.monotonic()

        # The frame after the pause: many creatures leave the window.
        fewest = self.population
        deadline = went_on + PATIENCE
        while fewest == self.population and time.monotonic() < deadline:
            fewest = min(fewest, self.shapes(p.screenshot()).shapes)
        self.assertLess(fewest, self.population,
                        "no creature left the window after a %.0f s frame" % PAUSE)

        # Then all of them come back into the field's part of the window.
        img = None
        while time.monotonic() < deadline:
            img = p.screenshot()
            c = self.shapes(img)
            fewest = min(fewest, c.shapes)
            if self.all_home(img):
                break
            time.sleep(0.02)
        back = time.monotonic() - went_on
        blue = sum(comp.pixels for comp in harness.components(img))
        figure("%s long frame of %.1f s: %d of %d creatures in view at the fewest; all home "
               "%.2f s after it; %d blue pixels, %.1f creatures' worth"
               % (p.name, PAUSE, fewest, self.population, back, blue, blue / creature_pixels()))
        self.assertTrue(self.all_home(img), "not all %d creatures came back within %.0f s: %s"
                        % (self.population, PATIENCE, self.shapes(img)))
        p.close_window()
        self.assertEndsNormally(p)


def creature_pixels(projection=harness.FIELD):
    """The area of a creature in pixels of a projection."""
    pr = projection
    return abs(harness.area(harness.CREATURE)) * (pr.width / (pr.right - pr.left)) * (
        pr.height / (pr.top - pr.bottom))


# -- watching a long run ------------------------------------------------------

class HeapWatch:
    """What the program's own code holds on the heap, as the preloaded heapwatch
    library (heapwatch.cpp) counts it. Unlike the resident size, it does not move
    with the GL driver's caches or the machine's load: once the first frame is
    drawn it stays put, so any growth at all is a leak of ours."""

    def __init__(self, library=None):
        library = library or os.environ.get("E2E_HEAPWATCH")
        if not library or not os.path.exists(library):
            raise AssertionError("no heapwatch library to preload: %r" % library)
        self.folder = tempfile.mkdtemp(prefix="heapwatch-")
        self.env = {"LD_PRELOAD": " ".join(filter(None, [os.environ.get("LD_PRELOAD"),
                                                         library])),
                    "HEAPWATCH_DIR": self.folder}

    def held(self, pid):
        """(bytes, blocks) that the code of process `pid` holds now."""
        with open(os.path.join(self.folder, str(pid)), "rb") as f:
            held, blocks, overflowed = struct.unpack("=qqq", f.read(24))
        if overflowed:
            raise AssertionError("the program held more blocks than heapwatch can count")
        return held, blocks

    def close(self):
        shutil.rmtree(self.folder, ignore_errors=True)


Watch = namedtuple("Watch", "readings shots with_creatures counts problems frames_at_end held")


def watch_run(p, seconds, shapes, heap=None, every=0.5, shot_every=1.0):
    """Watches a running program for `seconds`: its resident size every
    `every` seconds, a screenshot every `shot_every` seconds, and whether it
    still draws at the end.

    readings: [(seconds since the start, KiB)]; shots, with_creatures: how
    many screenshots, and how many of them showed a creature; counts: the
    creatures each screenshot showed; problems: what went wrong on the way
    (the program ended, a picture no creature explains); frames_at_end:
    frames seen in the last moment (up to 20); held: what the program's own
    code held at the start and at the end, by the HeapWatch `heap`."""
    readings, problems, counts = [], [], []
    shots = with_creatures = 0
    held = [heap.held(p.proc.pid)] if heap else []
    start = time.monotonic()
    next_shot = start
    while True:
        now = time.monotonic()
        if now - start >= seconds:
            break
        kib = rss_kib(p.proc.pid)
        if kib is None or not p.running():
            problems.append("ended after %.1f s" % (now - start))
            break
        readings.append((now - start, kib))
        if now >= next_shot:
            next_shot += shot_every
            c = shapes(p.screenshot())
            shots += 1
            with_creatures += c.shapes > 0
            counts.append(c.shapes)
            if c.problems:
                problems.append("%.1f s: %s" % (now - start, c.problems))
        time.sleep(max(0.0, start + len(readings) * every - time.monotonic()))
    frames = 0
    if not problems:
        if heap:
            held.append(heap.held(p.proc.pid))
        w = FrameWatch(p)
        try:
            frames = w.count(20, PATIENCE)[0]
        finally:
            w.close()
        if frames < 20:
            problems.append("stopped drawing")
    return Watch(readings, shots, with_creatures, counts, problems, frames, held)


def growth(readings, warm_up, tail=2.0):
    """(warm, late): the largest resident size in the first `warm_up`
    seconds, the smallest in the last `tail` seconds.

    A program's memory settles in steps of half a MiB, most of them in its
    first seconds but later on a loaded machine (the software renderer keeps
    more frames in flight), and it goes up and down by a step now and then; a
    leak raises the late readings for good."""
    end = readings[-1][0]
    warm = [kib for t, kib in readings if t <= warm_up]
    late = [kib for t, kib in readings if t >= end - tail]
    return max(warm), min(late)


class SoakTests(RobustnessCase):
    """A run of some seconds: the program stays up and keeps drawing creatures,
    its own code holds no more of the heap at the end than at its first frame,
    its resident size does not run away, and it still closes normally. The
    same watch runs for minutes in scripts/soak.py."""

    seconds = 8.0
    warm_up = 4.0

    def soak(self):
        heap = HeapWatch()
        self.addCleanup(heap.close)
        p = self.start(env=heap.env)
        w = watch_run(p, self.seconds, self.shapes, heap)
        self.assertEqual(w.problems, [], p.describe())
        self.assertGreater(w.with_creatures, 0, "no creature in %d screenshots" % w.shots)
        if isinstance(self, harness.Timed):
            # Strays come home, so all of them are seen now and then; one
            # lost for good (its place not a number) never is again.
            self.assertIn(self.population, w.counts[-5:], "creatures missing at the end: %s"
                          % w.counts)
        (before, blocks_before), (after, blocks_after) = w.held
        warm, late = growth(w.readings, self.warm_up)
        kib = [k for _, k in w.readings]
        figure("%s soak %.0f s: our heap %d bytes in %d blocks at the first frame, %d in %d at "
               "the end; RSS %d KiB at the start, %d at most in %.0f s of warm-up, %d at the "
               "end, %d at most: %+d KiB after the warm-up; %d of %d screenshots with creatures"
               % (p.name, self.seconds, before, blocks_before, after, blocks_after, kib[0],
                  warm, self.warm_up, kib[-1], max(kib), late - warm, w.with_creatures,
                  w.shots))
        self.assertEqual((after, blocks_after), (before, blocks_before),
                         "our own heap grew from %d bytes in %d blocks to %d in %d over %.0f s"
                         % (before, blocks_before, after, blocks_after, self.seconds))
        self.assertLessEqual(late, warm + RSS_SLACK, "grew from %d to %d KiB after the "
                             "warm-up: %s" % (warm, late, w.readings))
        self.assertStillDrawing(p, self.watch_frames(p), "after %.0f s" % self.seconds)
        p.close_window()
        self.assertEndsNormally(p)

    def test_runs_on_without_growing(self):
        if not self.moves:
            self.skipTest("a still program does nothing over time")
        self.soak()


class PlantedLeakTests(SoakTests):
    """The soak on a copy of the reference program with a leak of ours planted,
    a kilobyte a second: it must fail, and on that leak. Without this, a heap
    count that saw nothing would pass every soak."""

    test_runs_on_without_growing = None

    def test_a_kilobyte_a_second_fails_the_soak(self):
        with self.assertRaisesRegex(AssertionError, "our own heap grew"):
            self.soak()


def cases(kind):
    """The test classes for a program of this kind, named as CMakeLists.txt
    registers them."""
    return {name: type(name, (kind, tests, harness.ProgramTestCase), {})
            for name, tests in (("Flood", FloodTests), ("LongFrames", LongFrameTests),
                                ("Soak", SoakTests), ("PlantedLeak", PlantedLeakTests))}


def kind_of(path):
    name = os.path.basename(path)
    kind = KINDS.get(name) or PLANTED.get(name)
    if not kind:
        raise SystemExit("%s: not one of the programs %s" % (name, sorted(KINDS)))
    return kind


if __name__ == "__main__":
    if len(sys.argv) >= 2:
        # unittest looks for the classes in this module by name.
        globals().update(cases(kind_of(sys.argv[1])))
    harness.main()
