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
import signal
import sys
import threading
import time

from Xlib import X, XK, display as xdisplay, protocol
from Xlib.ext import xtest

import harness
from lab import pictures
from lab import run as runs
from lab import soak

FLOOD_ROUNDS = 5000  # each: a key pressed and released, a motion, an Expose
PAUSE = 2.0          # s the program is stopped for, in LongFrames
KEYS = ["a", "q", "x", "z", "1", "space", "Return", "Escape", "Tab", "BackSpace",
        "F1", "F4", "F10", "Up", "Left", "Delete"]


def figure(text):
    """A measured figure, for whoever reads the test log."""
    print("figure: " + text, file=sys.stderr, flush=True)


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
        return pictures.census(img, *pictures.CREATURE_PIXELS, self.max_side)

    def watch_frames(self, p):
        w = runs.FrameWatch(p)
        self.addCleanup(w.close)
        return w

    def assertStillDrawing(self, p, what):
        """Frames keep coming, and in a program that moves, the picture with
        them. Returns the seconds until the first and the last of them."""
        problem, first, last = soak.drawing(p, self.moves, what)
        self.assertIsNone(problem, "%s: %s\n%s" % (p.name, problem, p.describe()))
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
        first, twentieth = self.assertStillDrawing(p, "after the flood")
        img = p.screenshot()
        self.look_at(img)
        if not self.moves:
            self.assertEqual(img.tobytes(), still.tobytes(), "the input moved still creatures")

        p.close_window()
        took = runs.wait_exit(p, runs.EXIT_TIMEOUT)
        self.assertIsNotNone(took, "still running %.0f s after the window was closed\n%s"
                             % (runs.EXIT_TIMEOUT, p.describe()))
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
        if not self.timed:
            self.skipTest("only a timed program's steps grow with the frame time")
        p = self.start()
        p.screenshot_when(self.all_home, "all %d creatures in the field" % self.population,
                          timeout=soak.PATIENCE)

        p.signal(signal.SIGSTOP)
        try:
            time.sleep(PAUSE)
        finally:
            p.signal(signal.SIGCONT)
        went_on = time.monotonic()

        # The frame after the pause: many creatures leave the window.
        fewest = self.population
        deadline = went_on + soak.PATIENCE
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
        blue = sum(comp.pixels for comp in pictures.components(img))
        figure("%s long frame of %.1f s: %d of %d creatures in view at the fewest; all home "
               "%.2f s after it; %d blue pixels, %.1f creatures' worth"
               % (p.name, PAUSE, fewest, self.population, back, blue, blue / pictures.creature_pixels()))
        self.assertTrue(self.all_home(img), "not all %d creatures came back within %.0f s: %s"
                        % (self.population, soak.PATIENCE, self.shapes(img)))
        p.close_window()
        self.assertEndsNormally(p)


class SoakTests(RobustnessCase):
    """A run of some seconds, watched and judged as scripts/soak.py watches one for
    minutes (lab.soak): the program stays up and keeps drawing creatures, its own code
    holds no more of the heap at the end than at its first frame, its resident size does
    not run away, and it still closes normally."""

    seconds = 5.0

    def soak(self):
        heap = soak.HeapWatch(os.environ.get("E2E_HEAPWATCH"))
        self.addCleanup(heap.close)
        w = soak.soak(harness.program_path(), self.program, self.seconds, heap)
        if len(w.held) == 2:
            kib = [k for _, k in w.readings]
            (before, blocks_before), (after, blocks_after) = w.held
            figure("%s soak %.0f s: our heap %d bytes in %d blocks at the first frame, %d in %d "
                   "at the end; RSS %d KiB at the start, %d at most in the warm-up, %d at the "
                   "end, %d at most: %+d KiB after the warm-up; %d of %d screenshots with "
                   "creatures" % (self.program.name, self.seconds, before, blocks_before, after,
                                  blocks_after, kib[0], w.warm, kib[-1], max(kib),
                                  w.late - w.warm, w.with_creatures, w.shots))
        self.assertEqual(w.problems, [])

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
    # The planted leak is a copy of the reference.
    name = os.path.basename(path)
    return harness.kind("moblings_timed" if name == "soak_planted_leak" else name)


if __name__ == "__main__":
    if len(sys.argv) >= 2:
        # unittest looks for the classes in this module by name.
        globals().update(cases(kind_of(sys.argv[1])))
    harness.main()
