"""End-to-end tests of moblings_timed: five blue creatures roaming a black
800x600 window until it is closed.

    /usr/bin/python3 test_timed.py path/to/moblings_timed [TestClass]
"""

import signal
import time
import unittest

import harness

CREATURES = 5
SHAPE = [(-3, -3), (-3, 3), (4, 4), (3, -3)]  # world units around a creature
# A creature is a quad of 42 square world units, about 0.95 pixel per unit:
# 34 to 46 pixels depending on where it falls on the pixel grid, never wider
# or taller than 7 pixels. The margins absorb rasteriser edge rules.
MIN_PIXELS, MAX_PIXELS, MAX_SIDE = 30, 50, 8
NORMAL_OUTPUT = "moved: \n"


def has_blue(img):
    return bool(harness.components(img))


class Running(harness.ProgramTestCase):
    normal_output = NORMAL_OUTPUT


class Picture(Running):
    def test_black_window_with_at_most_five_blue_creatures(self):
        p = self.start()
        self.assertEqual(p.window_size(), (800, 600))
        # Creatures sometimes overlap or stray past the edge; a few pictures
        # a moment apart must include one where all of them stand alone.
        all_alone = None
        for _ in range(20):
            img = p.screenshot()
            stray = harness.stray_pixels(img)
            self.assertEqual(stray, [], "colours other than black and pure blue")
            c = harness.census(img, MIN_PIXELS, MAX_PIXELS, MAX_SIDE)
            self.assertEqual(c.problems, [])
            self.assertGreaterEqual(c.shapes, 1, c)
            self.assertLessEqual(c.shapes, CREATURES, c)
            if c.merged == 0 and c.clipped == 0:
                all_alone = c
                break
            time.sleep(0.1)
        self.assertIsNotNone(all_alone, "never saw the creatures apart in 20 pictures")
        for comp in harness.components(img):
            self.assertTrue(MIN_PIXELS <= comp.pixels <= MAX_PIXELS, comp)
            self.assertLessEqual(max(comp.width, comp.height), MAX_SIDE, comp)
            # The very quad, unturned, in the field's projection; a pixel of
            # slack for where the search grid falls between two positions.
            self.assertLessEqual(harness.shape_mismatch(comp, SHAPE), 1,
                                 "%s is not the creature's shape" % (comp,))
        # The rest is background: the creatures cover a fraction of 1%.
        blue = sum(comp.pixels for comp in harness.components(img))
        self.assertLessEqual(blue, CREATURES * MAX_PIXELS)
        p.close_window()
        self.assertEndsNormally(p)

    def test_creatures_move(self):
        p = self.start()
        # At half a world unit per millisecond, a fifth of a second moves a
        # creature much further than its own size.
        first = p.screenshot()
        for _ in range(10):
            time.sleep(0.2)
            later = p.screenshot()
            if later.tobytes() != first.tobytes():
                break
        self.assertTrue(later.tobytes() != first.tobytes(),
                        "the picture stayed the same for 2 s")
        p.close_window()
        self.assertEndsNormally(p)


class Closing(Running):
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

    def test_keeps_running_until_told(self):
        p = self.start()
        time.sleep(1)
        self.assertTrue(p.running(), p.describe())
        p.close_window()
        self.assertEndsNormally(p)


class Keys(Running):
    def test_key_presses_do_not_end_it(self):
        p = self.start()
        p.press_keys(["Escape", "q", "a", "x", "space", "Return", "Escape"])
        time.sleep(1)
        self.assertTrue(p.running(), "a key press ended it\n" + p.describe())
        # Still animating, not stuck on the keys.
        before = p.screenshot()
        time.sleep(0.2)
        after = p.screenshot_when(lambda img: img.tobytes() != before.tobytes(),
                                  "any movement after the key presses")
        self.assertTrue(has_blue(after))
        p.close_window()
        self.assertEndsNormally(p)


class Failures(unittest.TestCase):
    """SDL failing to start: no window, a message, status 1."""

    def test_no_video_driver(self):
        self.assertEqual(harness.run(harness.program_path(), "nosuchdriver"),
                         (1, "error init-ing sdl video\nError initializing SDL\n" + NORMAL_OUTPUT))

    def test_no_opengl_video_mode(self):
        self.assertEqual(harness.run(harness.program_path(), "dummy"),
                         (1, "error setting video mode\nError initializing SDL\n" + NORMAL_OUTPUT))


if __name__ == "__main__":
    harness.main()
