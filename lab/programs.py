# SPDX-License-Identifier: MIT
"""What each of the seven programs is, seen from outside: how many creatures it makes,
whether its frame clock times their steps, whether they move at all, how each is drawn,
where its field lies, and what it writes.

These are the programs' designed values, written down here apart from the code that
makes them, so that whatever checks a program against them checks something.
"""

import os
import re
from collections import namedtuple

from lab.pictures import CENTRED, FIELD

REPORT = re.compile(r"PosX is (-?\d+)\nPosY is (-?\d+)\nRotation value is (\S+)\n")
CUES = ("random move cue was less that 0.5", "random move cue was greater than 0.5")


class Description(namedtuple("Description",
                             "name population timed moves drawn_turned centred cues speed",
                             defaults=(False, None))):
    """timed: steps of speed x heading x frame time (speed in world units a millisecond),
    strays steered home, "moved: " at the end; otherwise a step a frame and "spawning!"
    for every creature made. centred:
    the start area and the projection centred on the origin. cues: a line for every turn
    test, one of CUES. A program that does not move writes every creature when its run
    ends."""

    @property
    def projection(self):
        return CENTRED if self.centred else FIELD

    @property
    def centre(self):
        """The centre of the area its creatures start in, in world units."""
        return (0.0, 0.0) if self.centred else (400.0, 300.0)

    @property
    def max_side(self):
        """The most pixels a lone creature spans across or down."""
        return 11 if self.drawn_turned else 8

    @property
    def start_lines(self):
        """What it writes before it opens its window."""
        return "" if self.timed else "spawning!\n" * self.population

    @property
    def end_lines(self):
        """What it writes once its frame loop is over, where that is always the same."""
        return "moved: \n" if self.timed else "" if self.moves and not self.cues else None

    def end_problem(self, text, failed=False):
        """What is wrong with what it wrote after its window opened, or None. `failed`:
        SDL did not start, so no frame ran."""
        if self.cues:
            lines = text.splitlines()
            if failed or not text:
                return None if text == "" else "lines without a frame: %r" % text[:200]
            if not text.endswith("\n") or set(lines) - set(CUES):
                return "not only move cues: %r" % text[-200:]
            # Each line is a fair coin: thirty the same would be a one in 500 million chance.
            if len(lines) >= 30 and set(lines) != set(CUES):
                return "%d move cues, all %r" % (len(lines), lines[0])
            return None
        if self.end_lines is None:
            try:
                self.report(text)
            except ValueError as e:
                return "its report: %s" % e
            return None
        return None if text == self.end_lines else "wrote %r at its end" % text[-200:]

    def report(self, text):
        """The creatures [(x, y, degrees)] of a closing report; ValueError when the text is
        not exactly one, written as an output stream writes whole numbers and floats."""
        lines = text.splitlines(keepends=True)
        if len(lines) != 3 * self.population:
            raise ValueError("%d lines, not 3 for each of %d creatures: %r"
                             % (len(lines), self.population, text))
        creatures = []
        for i in range(0, len(lines), 3):
            m = REPORT.fullmatch("".join(lines[i:i + 3]))
            if not m:
                raise ValueError("creature %d: %r" % (i // 3, lines[i:i + 3]))
            x, y, degrees = int(m[1]), int(m[2]), float(m[3])
            if ("%d %d %g" % (x, y, degrees)).split() != list(m.groups()):
                raise ValueError("not written as an ostream writes ints and floats: " + m[0])
            if not (-400 <= x < 400 and -300 <= y < 300 and -180 <= degrees <= 180):
                raise ValueError("out of its range: " + m[0])
            creatures.append((x, y, degrees))
        return creatures


PROGRAMS = {d.name: d for d in (
    Description("moblings_timed", 5, timed=True, moves=True, drawn_turned=False, centred=False,
                speed=0.5),
    Description("moblings_herd", 50, timed=True, moves=True, drawn_turned=False, centred=False,
                speed=0.1),
    Description("moblings_fenced", 20, timed=False, moves=True, drawn_turned=False,
                centred=False),
    Description("moblings_spin", 20, timed=False, moves=True, drawn_turned=True, centred=False),
    Description("moblings_wander", 20, timed=False, moves=True, drawn_turned=False,
                centred=False),
    Description("moblings_solo", 1, timed=False, moves=True, drawn_turned=True, centred=True,
                cues=True),
    Description("moblings", 12, timed=False, moves=False, drawn_turned=True, centred=True),
)}


def describe(program):
    """The description of a program given by name or path."""
    name = os.path.basename(program)
    if name not in PROGRAMS:
        raise ValueError("%s is not one of the programs %s" % (name, ", ".join(PROGRAMS)))
    return PROGRAMS[name]
