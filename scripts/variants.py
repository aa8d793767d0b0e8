# SPDX-License-Identifier: MIT
"""The variants of a program that the tools build (--set FIELD=VALUE, and a sweep's
--vary SETTING=V1,V2,...): what the fields of include/settings.h are, a copy of a
program's program.h with fields set to other values, and the build of each copy, beside
the build folder and never in the checkout.

The settings are constants of the build, so a value of a setting is a build of its own.
"""

import os
import re
import shutil
import subprocess
import time
from collections import namedtuple

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SETTINGS_H = os.path.join(ROOT, "include", "settings.h")
PROGRAMS = os.path.join(ROOT, "programs")

FIELD = re.compile(r"^\s*(int|float|double|bool)\s+(\w+)\s*=\s*([^;]+?)\s*;", re.M)
INITIALISER = re.compile(r"(constexpr settings SETTINGS = \{)(.*?)(\};)", re.S)
ENTRY = re.compile(r"\.(\w+)\s*=\s*([^,]+?)\s*(?:,|$)")
WHOLE = re.compile(r"[+-]?\d+")
INT_RANGE = (-2 ** 31, 2 ** 31 - 1)
FLOAT_MAX = 3.4028234663852886e38


class Invalid(Exception):
    """A setting or value a sweep cannot take, in words."""


Field = namedtuple("Field", "name type default")
Variant = namedtuple("Variant", "value text program_h settings name")
Variant.__doc__ = """One value of a sweep (or the one variant that --set makes, whose value
and text are None): the value as Python holds it, as it was given, the text of its
program.h, every setting of the variant {name: value}, and the name of its folder."""


def fields(path=SETTINGS_H):
    """The fields of `struct settings`, in declaration order, with their reference values."""
    with open(path) as f:
        body = re.search(r"struct settings \{(.*?)\n\};", f.read(), re.S)[1]
    return [Field(name, kind, literal(kind, text)) for kind, name, text in FIELD.findall(body)]


def comments(path=SETTINGS_H):
    """{name: what settings.h says of the field}: the comment on its line, or else the
    comment just above it, or else the one of the field before it (a range's upper end
    shares its lower end's)."""
    with open(path) as f:
        body = re.search(r"struct settings \{(.*?)\n\};", f.read(), re.S)[1]
    said, above, before = {}, [], ""
    for line in body.splitlines():
        field = FIELD.match(line)
        comment = line.partition("//")[2].strip()
        if not field:
            above = above + [comment] if comment else []
            continue
        before = comment or " ".join(above) or before
        said[field[2]] = before
        above = []
    return said


def literal(kind, text):
    """The value of a C++ literal of the field type `kind`."""
    if kind == "bool":
        return {"true": True, "false": False}[text]
    return int(text) if kind == "int" else float(text.rstrip("fF"))


def cxx(kind, value):
    """`value` as a C++ literal of the field type `kind`."""
    if kind == "bool":
        return "true" if value else "false"
    if kind == "int":
        return str(value)
    return repr(float(value)) + ("f" if kind == "float" else "")


def parse(kind, name, text):
    """What the value `text` given for the field `name` of type `kind` is; Invalid where
    that field cannot hold it."""
    where = "%s=%s: %s is %s" % (name, text, name, "an " + kind if kind == "int" else "a " + kind)
    if kind == "bool":
        value = {"true": True, "false": False, "1": True, "0": False}.get(text)
        if value is None:
            raise Invalid("%s, one of true, false, 1 or 0" % where)
        return value
    try:
        number = float(text)
    except ValueError:
        raise Invalid("%s, and %r is not a number" % (where, text)) from None
    # float() takes "nan" and "inf" too, which no setting can mean.
    if number != number or abs(number) == float("inf"):
        raise Invalid("%s, and %r is not a finite number" % (where, text))
    if kind == "int":
        if not WHOLE.fullmatch(text):
            raise Invalid("%s, and %s is a fraction, not a whole number" % (where, text))
        value = int(text)
        if not INT_RANGE[0] <= value <= INT_RANGE[1]:
            raise Invalid("%s, and %s is beyond an int's range" % (where, text))
        if name == "Population" and value < 1:
            raise Invalid("%s, and a population below 1 has no creatures to measure" % where)
        return value
    if kind == "float" and abs(number) > FLOAT_MAX:
        raise Invalid("%s, and %s is beyond a float's range" % (where, text))
    return number


def program_h(program):
    path = os.path.join(PROGRAMS, program, "program.h")
    if not os.path.isfile(path):
        raise Invalid("no program %s: a sweep varies one of the programs in programs/ (%s)"
                      % (program, ", ".join(sorted(os.listdir(PROGRAMS)))))
    with open(path) as f:
        return f.read()


def entries(text):
    """The fields a program.h sets, {name: its literal}, in its order."""
    body = re.sub(r"//[^\n]*", "", INITIALISER.search(text)[2])
    return dict(ENTRY.findall(body.strip()))


def field_named(known, name, given):
    """The field `name`; Invalid, naming them all, where settings.h has none of that name."""
    field = next((f for f in known if f.name == name), None)
    if field is None:
        raise Invalid("%s is not a setting; the settings (include/settings.h) are %s"
                      % (name or repr(given), ", ".join("%s (%s)" % (f.name, f.type)
                                                        for f in known)))
    return field


def variants(program, vary=None, sets=()):
    """The variants of `program` (a name in programs/) that `vary`, "SETTING=V1,V2,...",
    asks for, each with the settings `sets`, ["FIELD=VALUE", ...], as well: (SETTING,
    [Variant]), or without `vary` (None, [the one Variant that `sets` makes]). Invalid,
    saying which and why, where a setting or a value cannot be."""
    known = fields()
    base = program_h(program)
    given = entries(base)
    stray = set(given) - {f.name for f in known}
    if stray:
        raise Invalid("programs/%s/program.h sets %s, which settings.h does not have"
                      % (program, ", ".join(sorted(stray))))
    changed = {}
    for each in sets:
        name, equals, text = each.partition("=")
        field = field_named(known, name, each)
        if not equals:
            raise Invalid("--set %s names no value: give it as %s=VALUE" % (each, name))
        if name in changed:
            raise Invalid("--set %s: %s is set twice" % (each, name))
        changed[name] = (text, cxx(field.type, parse(field.type, name, text)))
    if vary is None:
        setting, texts, field = None, [None], None
    else:
        setting, equals, texts = vary.partition("=")
        field = field_named(known, setting if equals else "", vary)
        if setting in changed:
            raise Invalid("%s is both set (--set) and varied (--vary)" % setting)
        texts = texts.split(",")
        if texts == [""]:
            raise Invalid("%s= names no values: give them as %s=V1,V2,..." % (setting, setting))
    result = []
    for text in texts:
        literals = dict(given, **{name: literal for name, (_, literal) in changed.items()})
        value = None
        if setting is not None:
            value = parse(field.type, setting, text)
            if any(v.value == value for v in result):
                raise Invalid("%s=%s: the value %s is given twice" % (setting, text, text))
            literals[setting] = cxx(field.type, value)
        # Designated initialisers must follow the declaration order.
        lines = "".join("    .%s = %s,\n" % (f.name, literals[f.name])
                        for f in known if f.name in literals)
        text_h = INITIALISER.sub(lambda m: m[1] + "\n" + lines + m[3], base, count=1)
        # Named in the fields' order, so that the same settings given in another order
        # find the same build.
        given_texts = dict({n: t for n, (t, _) in changed.items()},
                           **({setting: text} if setting else {}))
        named = [(f.name, given_texts[f.name]) for f in known if f.name in given_texts]
        result.append(Variant(value, text, text_h, every_setting(known, literals),
                              "-".join([program] + ["%s-%s" % pair for pair in named])))
    return setting, result


def every_setting(known, literals):
    """{name: value} of every field, where a program.h sets the fields `literals`."""
    return {f.name: literal(f.type, literals[f.name]) if f.name in literals else f.default
            for f in known}


def seen_from_outside(s):
    """What lab.programs.Description says of a program with the settings `s`."""
    return {"population": s["Population"], "timed": s["Timed"], "moves": s["Moves"],
            "drawn_turned": s["DrawTurned"], "centred": s["Centred"], "cues": s["SayCue"],
            "speed": float(s["DefaultSpeed"]) if s["Timed"] else None}


def described(description, program, variant):
    """The description of `variant`: `program`'s own (lab.programs), but for what the
    changed settings change."""
    before = seen_from_outside(every_setting(fields(), entries(program_h(program))))
    after = seen_from_outside(variant.settings)
    return description._replace(**{k: v for k, v in after.items() if before[k] != v})


# -- building ---------------------------------------------------------------------------

# As scripts/build.sh makes a build: with Ninja where it is installed.
GENERATOR = ["-G", "Ninja"] if shutil.which("ninja") else []


def folder(build, variant):
    return os.path.join(build, "sweep", variant.name)


def cache_entry(build, name, default):
    try:
        with open(os.path.join(build, "CMakeCache.txt")) as f:
            found = re.search(r"^%s:\w+=(.*)$" % name, f.read(), re.M)
    except OSError:
        return default
    return found[1] if found and found[1] else default


def build(build_dir, program, where, variant, wait):
    """Builds `variant` of `program` into the folder `where`, which holds its settings
    (settings/PROGRAM/program.h), a CMake build of the program alone, and the program,
    named as the program is. `wait(process)` waits for each step, saying how it goes.
    Returns the program's path; raises RuntimeError with the step's last lines."""
    settings = os.path.join(where, "settings")
    header = os.path.join(settings, program, "program.h")
    os.makedirs(os.path.dirname(header), exist_ok=True)
    try:
        with open(header) as f:
            same = f.read() == variant.program_h
    except OSError:
        same = False
    if not same:  # an unchanged header leaves a built variant as it is
        with open(header, "w") as f:
            f.write(variant.program_h)
    # Built as the program itself was: the same build type and compiler. Configured once:
    # the build itself configures again where the CMake files changed, and compiles again
    # where the settings did.
    steps = [["cmake", "--build", where, "--target", program,
              "-j%d" % len(os.sched_getaffinity(0))]]
    if not any(os.path.exists(os.path.join(where, f)) for f in ("build.ninja", "Makefile")):
        steps.insert(0, ["cmake", "-S", ROOT, "-B", where, *GENERATOR,
                         "-DMOBLINGS_SETTINGS_DIR=" + settings,
                         "-DMOBLINGS_TESTS=OFF", "-DMOBLINGS_BENCH=OFF",
                         "-DCMAKE_BUILD_TYPE=" + cache_entry(build_dir, "CMAKE_BUILD_TYPE",
                                                             "RelWithDebInfo"),
                         "-DCMAKE_CXX_COMPILER=" + cache_entry(build_dir, "CMAKE_CXX_COMPILER",
                                                               "c++")])
    log = os.path.join(where, "build.log")
    with open(log, "w") as out:
        for step in steps:
            out.write("$ %s\n" % " ".join(step))
            out.flush()
            with subprocess.Popen(step, stdout=out, stderr=subprocess.STDOUT,
                                  stdin=subprocess.DEVNULL) as p:
                try:
                    status = wait(p)
                except BaseException:
                    p.kill()
                    raise
            if status != 0:
                with open(log) as f:
                    tail = f.read().splitlines()[-15:]
                raise RuntimeError("%s failed (all of it in %s):\n%s"
                                   % (" ".join(step[:2]), log, "\n".join(tail)))
    return os.path.join(where, program)


def waiting(say, every):
    """A wait for a step of a build that says `say(seconds so far)` every `every` s."""
    def wait(p):
        begun = time.monotonic()
        while True:
            try:
                return p.wait(every)
            except subprocess.TimeoutExpired:
                say(time.monotonic() - begun)
    return wait
