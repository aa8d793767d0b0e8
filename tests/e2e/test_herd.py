# SPDX-License-Identifier: MIT
"""End-to-end tests of moblings_herd: fifty slow creatures that seldom turn,
in the field's projection; "moved: " once the window closes.

    /usr/bin/python3 test_herd.py path/to/moblings_herd [TestClass]
"""

import harness


class Herd(harness.Timed):
    population = 50


class Picture(Herd, harness.PictureTests):
    pass


class Closing(Herd, harness.ClosingTests):
    pass


class Failures(Herd, harness.FailureTests):
    pass


if __name__ == "__main__":
    harness.main()
