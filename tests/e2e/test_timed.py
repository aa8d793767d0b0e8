# SPDX-License-Identifier: MIT
"""End-to-end tests of moblings_timed: five blue creatures roaming a black
800x600 window until it is closed.

    /usr/bin/python3 test_timed.py path/to/moblings_timed [TestClass]
"""

import time

import harness
from lab import pictures


Reference = harness.kind("moblings_timed")


globals().update(harness.groups(Reference))


class Keys(Reference, harness.ProgramTestCase):
    def test_key_presses_do_not_end_it(self):
        p = self.start()
        p.press_keys(["Escape", "q", "a", "x", "space", "Return", "Escape"])
        time.sleep(1)
        self.assertTrue(p.running(), "a key press ended it\n" + p.describe())
        # Still animating, not stuck on the keys.
        before = p.screenshot()
        p.screenshot_when(lambda img: img.tobytes() != before.tobytes()
                          and bool(pictures.components(img)),
                          "creatures moving after the key presses")
        p.close_window()
        self.assertEndsNormally(p)


if __name__ == "__main__":
    harness.main()
