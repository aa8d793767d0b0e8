# SPDX-License-Identifier: MIT
"""End-to-end tests of moblings_herd: fifty slow creatures that seldom turn,
in the field's projection; "moved: " once the window closes.

    /usr/bin/python3 test_herd.py path/to/moblings_herd [TestClass]
"""

import harness


Herd = harness.kind("moblings_herd")


globals().update(harness.groups(Herd))

if __name__ == "__main__":
    harness.main()
