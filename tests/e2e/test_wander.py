# SPDX-License-Identifier: MIT
"""End-to-end tests of moblings_wander: twenty creatures taking a step a frame
and turning wherever they are, in the field's projection, drawn unturned.

    /usr/bin/python3 test_wander.py path/to/moblings_wander [TestClass]
"""

import harness


Wander = harness.kind("moblings_wander")


globals().update(harness.groups(Wander))

if __name__ == "__main__":
    harness.main()
