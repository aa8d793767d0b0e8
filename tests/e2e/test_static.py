# SPDX-License-Identifier: MIT
"""End-to-end tests of moblings, the static build: twelve creatures that stand
still, each turned by its rotation, in a field centred on the window; once the
window closes, it reports where each one stands and how it is turned.

    /usr/bin/python3 test_static.py path/to/moblings [TestClass]
"""

import itertools
import os
import time

import harness
from lab.run import FAKETIME, pinned_clock
from lab import pictures



Static = harness.kind("moblings")


class DrawnWhereReported:
    def test_each_reported_creature_is_drawn_where_reported(self):
        p = self.start()
        img = p.screenshot()
        p.close_window()
        creatures = self.report(self.assertEndsNormally(p))
        self.assertEqual(pictures.misdrawn(img, creatures, self.projection), ([], []),
                         "(creatures' pixels not drawn, blue where none is): %s" % creatures)


globals().update(harness.groups(Static, Picture=DrawnWhereReported))


class Seeding(Static, harness.ProgramTestCase):
    """The creatures are drawn from a random sequence seeded with the second
    the program starts in."""

    def run_at(self, second):
        """A run with the wall clock stopped at the Unix second `second` (stopped, so
        that however slowly the program starts it reads that second; the monotonic
        clock runs on for SDL): (the creatures, the picture)."""
        self.assertIsNotNone(FAKETIME, "libfaketime not found (Debian package faketime)")
        env = pinned_clock(second)
        if "ASAN_OPTIONS" in os.environ:
            # LeakSanitizer's symbolizer aborts in a futex under libfaketime;
            # the leak check itself still runs, naming modules but not functions.
            env["ASAN_OPTIONS"] = os.environ["ASAN_OPTIONS"] + ":symbolize=0"
        p = self.start(env=env)
        img = p.screenshot()
        p.close_window()
        return self.report(self.assertEndsNormally(p)), img.tobytes()

    def test_same_second_same_creatures(self):
        started = time.monotonic()
        first = self.run_at(1767225600)
        # Over a second later, so that an unpinned clock would give another seed.
        time.sleep(max(0.0, started + 1.1 - time.monotonic()))
        creatures, picture = self.run_at(1767225600)
        self.assertEqual(creatures, first[0])
        self.assertTrue(picture == first[1], "the same creatures drawn differently")

    def test_other_seconds_other_creatures(self):
        reports = [self.run_at(when)[0] for when in
                   (1767225600, 1767225601, 1942317296)]
        for a, b in itertools.combinations(reports, 2):
            self.assertNotEqual(a, b)


if __name__ == "__main__":
    harness.main()
