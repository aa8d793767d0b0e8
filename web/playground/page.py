# SPDX-License-Identifier: MIT
"""What the playground's page is written from, read from the sources when the site is
built so that its controls never drift from the code: the fields of include/settings.h,
their types, reference values and comments, when the run reads each, and the seven
programs' settings as presets (their program.h, with the type of their places).
web/site.py writes it into the page as JSON."""

import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "scripts"))
import variants  # noqa: E402

# Read only as the run starts: the factory's population, start places and rotations and
# their order, each creature's speed (a creature keeps the speed it was made with), the
# projection, and whether there is a frame clock at all. Every other field is read at
# every pass, or (Report) as the run ends, so a change takes effect at the next pass.
AT_START = ("Population", "DefaultSpeed", "Timed", "Centred", "StartRotMin", "StartRotMax",
            "RotFirst")
# The most creatures the page makes: each costs the page a few dozen bytes a frame.
POPULATION_MOST = 250_000
# The fields a slider suits beside the number, from "min" to "max" by "step"; or by
# powers of ten ("log"), for a chance whose telling values are 0.001 and 0.5 alike, with 0
# at its leftmost. The number takes any value the field can hold; the slider only these.
SLIDERS = {"DefaultSpeed": {"min": 0, "max": 2, "step": 0.01},
           "TurnChance": {"min": 0.0001, "max": 1, "log": True},
           **{name: {"min": -360, "max": 360, "step": 1}
              for name in ("StartRotMin", "StartRotMax", "TurnRotMin", "TurnRotMax")}}
POSITION = re.compile(r"^using Position = (\w+);", re.M)


def fields(source):
    said = variants.comments(os.path.join(source, "include", "settings.h"))
    return [{"name": f.name, "type": f.type, "reference": f.default, "comment": said[f.name],
             "atStart": f.name in AT_START, "slider": SLIDERS.get(f.name)}
            for f in variants.fields(os.path.join(source, "include", "settings.h"))]


def presets(source, programs):
    """{program: {"whole": whether its places are whole numbers, "settings": {field: value}
    of every field}}, in the order given."""
    known = variants.fields(os.path.join(source, "include", "settings.h"))
    found = {}
    for program in programs:
        with open(os.path.join(source, "programs", program, "program.h")) as f:
            text = f.read()
        found[program] = {"whole": POSITION.search(text)[1] == "int",
                          "settings": variants.every_setting(known, variants.entries(text))}
    return found


def data(source, programs):
    return {"fields": fields(source), "presets": presets(source, programs),
            "populationMost": POPULATION_MOST}
