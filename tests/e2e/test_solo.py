# SPDX-License-Identifier: MIT
"""End-to-end tests of moblings_solo: one creature, drawn turned, in a field
centred on the window, writing a line for every frame about its random draw.

    /usr/bin/python3 test_solo.py path/to/moblings_solo [TestClass]
"""

import time

import harness
from lab import programs
from lab import run as runs

Solo = harness.kind("moblings_solo")


class BothDraws:
    def test_both_draws_come_up(self):
        p = self.start()
        deadline = time.monotonic() + runs.WINDOW_TIMEOUT
        while p.output()[0].count("\n") < 60 and time.monotonic() < deadline:
            time.sleep(0.05)
        p.close_window()
        lines = self.assertEndsNormally(p).splitlines()
        self.assertGreaterEqual(len(lines), 60)
        self.assertEqual(set(lines), set(programs.CUES))


globals().update(harness.groups(Solo, Closing=BothDraws))


if __name__ == "__main__":
    harness.main()
