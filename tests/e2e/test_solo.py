# SPDX-License-Identifier: MIT
"""End-to-end tests of moblings_solo: one creature, drawn turned, in a field
centred on the window, writing a line for every frame about its random draw.

    /usr/bin/python3 test_solo.py path/to/moblings_solo [TestClass]
"""

import time

import harness

CUES = ("random move cue was less that 0.5", "random move cue was greater than 0.5")


class Solo(harness.Untimed):
    population = 1
    projection = harness.CENTRED
    drawn_turned = True

    def check_end(self, text, failed=False):
        if failed:  # no frame ran
            self.assertEqual(text, "")
            return
        self.assertTrue(text.endswith("\n"), repr(text[-100:]))
        lines = text.splitlines()
        self.assertGreaterEqual(len(lines), 1, "no line for the frame that saw the close")
        self.assertEqual(sorted(set(lines) - set(CUES)), [])
        # Each line is a fair coin: thirty the same would be a one in 500
        # million chance.
        if len(lines) >= 30:
            self.assertEqual(set(lines), set(CUES))


class BothDraws:
    def test_both_draws_come_up(self):
        p = self.start()
        deadline = time.monotonic() + harness.WINDOW_TIMEOUT
        while p.output()[0].count("\n") < 60 and time.monotonic() < deadline:
            time.sleep(0.05)
        p.close_window()
        lines = self.assertEndsNormally(p).splitlines()
        self.assertGreaterEqual(len(lines), 60)
        self.assertEqual(set(lines), set(CUES))


globals().update(harness.groups(Solo, Closing=BothDraws))


if __name__ == "__main__":
    harness.main()
