# SPDX-License-Identifier: MIT
"""The end-to-end tests' own part: the groups of tests every program has, and how a test
file runs. What runs a program and looks at it is lab's (lab.run, lab.pictures), and what
each program is, lab.programs'.

A program's test file makes its groups from the program's description, adds classes of
its own, and ends with `harness.main()`; CMakeLists.txt registers it with add_e2e_test.
It also runs by hand:
    /usr/bin/python3 test_timed.py path/to/moblings_timed [TestClass]
"""

import os
import signal
import sys
import time
import unittest

from lab import programs
from lab.pictures import (CREATURE, CREATURE_PIXELS, census, components, creature_pixels,
                          lone_shapes, shape_mismatch, stray_pixels, turned_mismatch)
from lab.run import WINDOW_TIMEOUT, FrameWatch, Program, run


def program_path():
    """The program under test, as given to main()."""
    return os.environ["E2E_PROGRAM"]


class ProgramTestCase(unittest.TestCase):
    """Tests that run the program under test in the X server."""

    normal_output = None  # a subclass sets what a normal run prints

    def start(self, ready=lambda img: bool(components(img)), what="its first frame", **kw):
        """Starts the program and waits until its window shows what `ready`
        accepts; it is killed at the end of the test whatever happens."""
        p = Program(program_path(), **kw)
        self.addCleanup(p.close)
        p.wait_window()
        p.screenshot_when(ready, what)
        return p

    def assertEndsNormally(self, p):
        status, out = p.wait()
        self.assertEqual((status, out), (0, self.normal_output), p.describe())


# -- programs that show creatures ---------------------------------------------

class Creatures:
    """What a program shows and writes, for the test groups below: kind(name) makes one
    from the program's description."""

    program = None  # a lab.programs description

    def __getattr__(self, name):
        # population, projection, moves, timed, start_lines and the rest
        return getattr(type(self).program, name)

    def check_end(self, text, failed=False):
        """Checks what the program wrote after its frame loop (`failed`: after
        SDL failed to start, when no frame ran)."""
        self.assertIsNone(self.program.end_problem(text, failed))

    def report(self, text):
        """The creatures in the still program's closing report, [(x, y, degrees)]."""
        try:
            return self.program.report(text)
        except ValueError as e:
            self.fail(str(e))

    def assertEndsNormally(self, p):
        """Waits for the end of a run that was told to end; returns what the
        program wrote after its frame loop."""
        status, out = p.wait()
        self.assertEqual(status, 0, p.describe())
        self.assertEqual(out[:len(self.start_lines)], self.start_lines, p.describe())
        end = out[len(self.start_lines):]
        self.check_end(end)
        return end

    def look_at(self, img):
        """Checks that a picture is black with at most the program's creatures on
        it; returns the fits of the lone ones [(component, mismatch, degrees)]."""
        self.assertEqual(stray_pixels(img), [], "colours other than black and pure blue")
        c = census(img, *CREATURE_PIXELS, self.max_side)
        self.assertEqual(c.problems, [])
        self.assertLessEqual(c.shapes, self.population, c)
        return [(comp, *self.fit(comp))
                for comp in lone_shapes(img, *CREATURE_PIXELS, self.max_side)]

    def assertShapesFit(self, fits):
        """Most lone shapes fit the creature's shape. Searching positions and
        angles in steps can miss the exact fit by a pixel or two, and two creatures
        right on top of each other look like one misshapen one; a wrong shape
        misfits nearly every time."""
        tolerance = 2 if self.drawn_turned else 1
        misfits = [f for f in fits if f[1] > tolerance]
        self.assertLessEqual(len(misfits), len(fits) // 10,
                             "not the creature's shape: %s" % misfits)

    def fit(self, comp):
        """(pixels that differ from the creature's shape, turned by how many
        degrees) for a lone shape."""
        if self.drawn_turned:
            return turned_mismatch(comp, CREATURE, self.projection)
        return shape_mismatch(comp, CREATURE, self.projection), 0.0


def kind(name):
    """The Creatures of the program `name`."""
    return type(name, (Creatures,), {"program": programs.describe(name)})


class PictureTests(ProgramTestCase):
    """The window: black, with blue creatures of the right shape."""

    def look(self, wanted=12, runs=3, shots=40, after=0):
        """Fits lone shapes from screenshots until `wanted` have been seen,
        checking each whole picture on the way; returns [(component,
        mismatch, degrees)]. Creatures that stand at the window's edge, or
        have walked off it, cannot be checked: when a run shows too few, the
        next one, a second later, has other random places. The first shot of a
        run waits for `after` frames more than the first."""
        fits = []
        for _ in range(runs):
            started = time.monotonic()
            p = self.start()
            self.assertEqual(p.window_size(), (800, 600))
            if after:
                watch = FrameWatch(p)
                self.addCleanup(watch.close)
                self.assertEqual(watch.count(after, WINDOW_TIMEOUT)[0], after,
                                 "frames drawn after the first")
            for _ in range(shots):
                fits += self.look_at(p.screenshot())
                if len(fits) >= wanted or not self.moves:  # a still picture shows nothing new
                    break
                time.sleep(0.1)
            p.close_window()
            self.assertEndsNormally(p)
            if len(fits) >= wanted:
                return fits
            # The seed is the second the program starts in.
            time.sleep(max(0.0, started + 1.1 - time.monotonic()))
        self.fail("only %d lone creatures seen in %d runs" % (len(fits), runs))

    def test_black_window_with_blue_creatures_of_their_shape(self):
        self.assertShapesFit(self.look())

    def test_creatures_cover_their_area(self):
        """Over many creatures at random places, a shape covers on average
        as many pixels as the creature's area in pixels. The projections
        differ there by 2.4 pixels: the field's has 0.98 x 0.97 pixels a world
        unit, the centred one 1 x 1."""
        if self.population < 10 or not self.moves:
            self.skipTest("needs many creatures at random places")
        p = self.start()
        counts = []
        for _ in range(40):
            counts += [c.pixels for c in
                       lone_shapes(p.screenshot(), *CREATURE_PIXELS, self.max_side)]
            if len(counts) >= 150:
                break
            time.sleep(0.1)
        p.close_window()
        self.assertEndsNormally(p)
        self.assertGreaterEqual(len(counts), 150)
        expected = creature_pixels(self.projection)
        # A shape's count varies by about 2.5 pixels: the mean of 150 lies
        # within 0.2 of the area but for a one-in-a-million run.
        self.assertAlmostEqual(sum(counts) / len(counts), expected, delta=1.1)

    def test_motion(self):
        p = self.start()
        first = p.screenshot()
        if self.moves:
            p.screenshot_when(lambda img: img.tobytes() != first.tobytes(), "any movement")
        else:
            for _ in range(5):
                time.sleep(0.2)
                self.assertEqual(p.screenshot().tobytes(), first.tobytes(),
                                 "the still creatures moved")
        p.close_window()
        self.assertEndsNormally(p)


class ClosingTests(ProgramTestCase):
    """Every way of ending a run ends it normally."""

    def test_window_close_request(self):
        p = self.start()
        p.close_window()
        self.assertEndsNormally(p)

    def test_sigterm(self):
        p = self.start()
        p.signal(signal.SIGTERM)
        self.assertEndsNormally(p)

    def test_sigint(self):
        p = self.start()
        p.signal(signal.SIGINT)
        self.assertEndsNormally(p)


class FailureTests(unittest.TestCase):
    """SDL failing to start: no window, a message, status 1."""

    def assertFails(self, driver, message):
        status, out = run(program_path(), driver)
        self.assertEqual(status, 1, out)
        expected = self.start_lines + message + "\nError initializing SDL\n"
        self.assertEqual(out[:len(expected)], expected)
        self.check_end(out[len(expected):], failed=True)

    def test_no_video_driver(self):
        self.assertFails("nosuchdriver", "error init-ing sdl video")

    def test_no_opengl_video_mode(self):
        self.assertFails("dummy", "error setting video mode")


def groups(kind, **own):
    """The test groups every program has, for the program `kind` describes, named as
    CMakeLists.txt registers them: Picture, Closing and Failures. A keyword gives a group
    a class of tests of the program's own, e.g. groups(Spin, Picture=TurnedEveryWay)."""
    shared = {"Picture": PictureTests, "Closing": ClosingTests, "Failures": FailureTests}
    return {name: type(name, tuple(filter(None, (own.get(name), kind, tests))), {})
            for name, tests in shared.items()}


def main():
    """Entry point for a test file: argv[1] is the program, the rest goes to
    unittest (e.g. a test class name to run only that group)."""
    if len(sys.argv) < 2:
        sys.exit("usage: %s PROGRAM [unittest arguments]" % sys.argv[0])
    program = os.path.abspath(sys.argv[1])
    if not os.access(program, os.X_OK):
        sys.exit("not an executable program: %s" % program)
    os.environ["E2E_PROGRAM"] = program
    unittest.main(module="__main__", argv=[sys.argv[0], "-v", *sys.argv[2:]])
