# SPDX-License-Identifier: MIT
"""Checks the harness against sdl_probe, whose picture and behaviour are known,
so that the program tests can trust what the harness sees and sends."""

import signal
import time
import unittest

from PIL import Image

import harness
from lab import pictures
from lab import run as runs

CREATURE = [(-3, -3), (-3, 3), (4, 4), (3, -3)]


def probe():
    return runs.Program(harness.program_path())


def has_blue(img):
    return bool(pictures.components(img))


class Picture(unittest.TestCase):
    def test_screenshot_shows_the_drawn_shapes_where_the_projection_puts_them(self):
        with probe() as p:
            p.wait_window()
            self.assertEqual(p.window_size(), (800, 600))
            img = p.screenshot_when(has_blue)
            self.assertEqual(img.size, (800, 600))
            self.assertEqual(pictures.stray_pixels(img), [])
            rect, creature = pictures.components(img)

            # The rectangle covers world (100,100)-(300,200): its pixels are
            # those whose centres lie inside the projected corners.
            x0, y1 = pictures.FIELD.to_image(100, 100)
            x1, y0 = pictures.FIELD.to_image(300, 200)
            self.assertEqual((rect.left, rect.top, rect.right, rect.bottom),
                             (round(x0), round(y0), round(x1) - 1, round(y1) - 1))
            self.assertEqual(rect.pixels, rect.width * rect.height)
            self.assertEqual(rect.points, pictures.rasterise(
                [(100, 100), (100, 200), (300, 200), (300, 100)]))

            # A creature-sized quad: the numbers the program tests rely on.
            self.assertTrue(34 <= creature.pixels <= 46, creature)
            self.assertLessEqual(max(creature.width, creature.height), 7, creature)
            cx, cy = pictures.FIELD.to_image(600, 450)
            self.assertTrue(creature.left <= cx <= creature.right + 1, (cx, creature))
            self.assertTrue(creature.top <= cy <= creature.bottom + 1, (cy, creature))
            shape = [(-3, -3), (-3, 3), (4, 4), (3, -3)]
            self.assertEqual(creature.points, pictures.rasterise(
                [(600 + x, 450 + y) for x, y in shape]))
            self.assertEqual(pictures.shape_mismatch(creature, shape), 0)
            self.assertGreater(pictures.shape_mismatch(creature, shape, angle=0.5), 1)
            self.assertGreater(pictures.shape_mismatch(creature, [(-3, -3), (-3, 3), (3, 3), (3, -3)]), 1)

            self.assertEqual(img.getpixel((5, 5)), pictures.BLACK)
            self.assertEqual(img.getpixel((200, 450)), pictures.BLUE)


class Input(unittest.TestCase):
    def test_key_presses_reach_sdl_as_key_events(self):
        with probe() as p:
            p.wait_window()
            p.screenshot_when(has_blue)
            p.press_keys(["Escape", "a", "q", "Return"])
            deadline = time.monotonic() + runs.EXIT_TIMEOUT
            while time.monotonic() < deadline and p.output()[0].count("\n") < 4:
                time.sleep(0.05)
            self.assertEqual(p.output()[0], "key escape\nkey a\nkey q\nkey return\n",
                             p.describe())
            self.assertTrue(p.running())


class Ending(harness.ProgramTestCase):
    normal_output = "quit\n"

    def test_close_request_becomes_sdl_quit(self):
        p = self.start()
        p.close_window()
        self.assertEndsNormally(p)

    def test_sigterm_becomes_sdl_quit(self):
        p = self.start()
        p.signal(signal.SIGTERM)
        self.assertEndsNormally(p)

    def test_sigint_becomes_sdl_quit_even_if_we_were_started_ignoring_it(self):
        previous = signal.signal(signal.SIGINT, signal.SIG_IGN)
        try:
            p = self.start()
        finally:
            signal.signal(signal.SIGINT, previous)
        p.signal(signal.SIGINT)
        self.assertEndsNormally(p)

    def test_failing_video_drivers(self):
        self.assertEqual(runs.run(harness.program_path(), "nosuchdriver"),
                         (1, "init failed\n"))
        self.assertEqual(runs.run(harness.program_path(), "dummy"),
                         (1, "video mode failed\n"))

    def test_a_program_that_never_ends_is_reported_not_waited_for(self):
        p = self.start()
        with self.assertRaisesRegex(AssertionError, "did not end"):
            p.wait(timeout=0.5)
        self.assertFalse(p.running())


class Capture(unittest.TestCase):
    def test_reading_the_output_while_the_program_writes_changes_none_of_it(self):
        lines = 20000
        script = 'i=0; while [ $i -lt %d ]; do echo "line $i"; i=$((i + 1)); done' % lines
        with runs.Program("/bin/sh", driver="dummy", args=("-c", script)) as p:
            while p.running():
                p.output()
            self.assertEqual(p.wait(), (0, "".join("line %d\n" % i for i in range(lines))))


def picture(*positions, speck=None):
    """A black 800x600 picture with creatures drawn at world positions."""
    img = Image.new("RGB", (800, 600), pictures.BLACK)
    for x, y in positions:
        for c, r in pictures.rasterise([(x + a, y + b) for a, b in CREATURE]):
            if 0 <= c < 800 and 0 <= r < 600:
                img.putpixel((c, r), pictures.BLUE)
    if speck:
        img.putpixel(speck, pictures.BLUE)
    return img


class Analysis(unittest.TestCase):
    """The picture helpers on pictures made here, no X server involved."""

    def census(self, img):
        return pictures.census(img, 30, 50, 8)

    def test_lone_creatures_are_counted_and_fit_their_shape(self):
        img = picture((100, 100), (400, 300), (700.4, 500.7))
        self.assertEqual(self.census(img), pictures.Census(3, 3, 0, 0, []))
        for comp in pictures.components(img):
            self.assertEqual(pictures.shape_mismatch(comp, CREATURE), 0)

    def test_touching_creatures_count_as_several(self):
        c = self.census(picture((100, 100), (104, 103), (300, 300)))
        self.assertEqual((c.shapes, c.lone, c.merged), (3, 1, 2))

    def test_a_creature_cut_by_the_edge_is_allowed_any_size(self):
        c = self.census(picture((-12, 300), (400, 300)))
        self.assertEqual((c.shapes, c.lone, c.clipped, c.problems), (2, 1, 1, []))

    def test_a_stray_speck_is_a_problem(self):
        c = self.census(picture((400, 300), speck=(50, 50)))
        self.assertEqual(len(c.problems), 1)

    def test_other_colours_are_reported(self):
        img = picture((400, 300))
        img.putpixel((10, 20), (0, 0, 254))
        self.assertEqual(pictures.stray_pixels(img), [((10, 20), (0, 0, 254))])

    def test_only_creatures_standing_alone_are_lone_shapes(self):
        img = picture((100, 100), (104, 103), (300, 300), (-12, 300))
        lone = pictures.lone_shapes(img, 30, 50, 8)
        self.assertEqual(len(lone), 1)
        self.assertEqual(pictures.shape_mismatch(lone[0], CREATURE), 0)

    def test_turning_is_counter_clockwise_with_y_upwards(self):
        (x, y), = pictures.turned([(1, 0)], 90)
        self.assertAlmostEqual(x, 0)
        self.assertAlmostEqual(y, 1)
        self.assertEqual(pictures.area(CREATURE), -42)  # its corners run clockwise

    def test_a_margin_brackets_the_pixels_of_a_polygon(self):
        shape = pictures.placed(CREATURE, 10.3, 20.6, 33)
        exact = pictures.rasterise(shape, pictures.CENTRED)
        sure = pictures.rasterise(shape, pictures.CENTRED, -0.3)
        maybe = pictures.rasterise(shape, pictures.CENTRED, 0.3)
        self.assertTrue(sure < exact < maybe, (len(sure), len(exact), len(maybe)))
        # Grown by half a pixel, a square takes in the next ring of pixels.
        square = pictures.rasterise([(0, 0), (0, 4), (4, 4), (4, 0)], pictures.CENTRED)
        grown = pictures.rasterise([(0, 0), (0, 4), (4, 4), (4, 0)], pictures.CENTRED, 0.51)
        self.assertEqual((len(square), len(grown)), (16, 36))

    def test_a_turned_creature_is_fitted_at_its_angle(self):
        img = Image.new("RGB", (800, 600), pictures.BLACK)
        for px in pictures.rasterise(pictures.placed(CREATURE, 50.4, -20.2, 117), pictures.CENTRED):
            img.putpixel(px, pictures.BLUE)
        comp, = pictures.components(img)
        mismatch, degrees = pictures.turned_mismatch(comp, CREATURE, pictures.CENTRED)
        self.assertLessEqual(mismatch, 1)
        self.assertLess(abs(degrees - 117), 3)
        self.assertGreater(pictures.shape_mismatch(comp, CREATURE, pictures.CENTRED), 2)

    def test_projections_meet_the_window_corners(self):
        self.assertEqual(pictures.FIELD.to_image(-10, -10), (0, 600))
        self.assertEqual(pictures.FIELD.to_image(810, 610), (800, 0))
        self.assertEqual(pictures.CENTRED.to_image(0, 0), (400, 300))
        x, y = pictures.FIELD.to_world(*pictures.FIELD.to_image(123, 456))
        self.assertAlmostEqual(x, 123)
        self.assertAlmostEqual(y, 456)


if __name__ == "__main__":
    harness.main()
