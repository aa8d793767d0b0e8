# SPDX-License-Identifier: MIT
"""End-to-end tests of moblings_fenced: twenty creatures taking a step a frame,
turning only inside the field, in the field's projection. A creature that
leaves the field walks off for ever, so the picture only ever loses some.

    /usr/bin/python3 test_fenced.py path/to/moblings_fenced [TestClass]
"""

import harness


Fenced = harness.kind("moblings_fenced")


globals().update(harness.groups(Fenced))

if __name__ == "__main__":
    harness.main()
