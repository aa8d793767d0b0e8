# SPDX-License-Identifier: MIT
"""End-to-end tests of moblings_spin: twenty creatures taking a step a frame,
turning wherever they are, each drawn turned by its rotation, in the field's
projection.

    /usr/bin/python3 test_spin.py path/to/moblings_spin [TestClass]
"""

import harness


Spin = harness.kind("moblings_spin")


class TurnedEveryWay:
    def test_shapes_are_turned_every_way(self):
        # A new rotation is any angle at all, so few creatures stand within
        # a few degrees of unturned at any moment: but every one starts within
        # ten degrees of it, and half turn in a frame, so it takes some frames.
        angles = [degrees for _, _, degrees in self.look(wanted=20, after=20)]
        turned = [a for a in angles if 15 <= a <= 345]
        self.assertGreater(len(turned), len(angles) / 2, angles)


globals().update(harness.groups(Spin, Picture=TurnedEveryWay))


if __name__ == "__main__":
    harness.main()
