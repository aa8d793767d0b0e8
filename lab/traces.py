# SPDX-License-Identifier: MIT
"""What a program drew, read from outside: every OpenGL call of a run as apitrace traces
it, and the frames it showed as the preloaded frame counter (bench/swapcount.c) counts
and times them.

A traced run gives the creatures of every frame exactly as the program handed them to
OpenGL, the projection it drew with, and how fast it drew. A recorded run gives the same
creatures and projection without drawing them (bench/placed.c): what a tool that only
measures places takes, where the run's length is in frames.
"""

import glob
import os
import pickle
import shutil
import signal
import struct
import subprocess
import sys
import time
from collections import namedtuple
from collections.abc import Sequence

from lab.pictures import Projection
from lab.run import EXIT_TIMEOUT, FAKETIME, Program, pinned_clock
from lab.xserver import XServer

APITRACE = "/usr/bin/apitrace"
END_FRAME = 1 << 5  # apitrace's flag on the call that ends a frame (glXSwapBuffers)


class Failure(Exception):
    """What went wrong, in words for whoever ran the tool."""


def require(tools=()):
    """Fails with what to install where apitrace, Xvfb or one of `tools`, [(path, Debian
    package)], is missing."""
    for path, package in [(APITRACE, "apitrace"), (shutil.which("Xvfb"), "xvfb"), *tools]:
        if not path or not os.path.exists(path):
            raise Failure("%s not found: install Debian's %s (scripts/install-deps.sh does)"
                          % (path or "Xvfb", package))


def check_seeds(first, runs=1):
    """A Failure where the seconds `first` to `first + runs - 1` are not all seeds srand
    can take."""
    # srand takes an unsigned int; time(0) counts from 1970.
    if not 0 <= first <= 2 ** 32 - runs:
        raise Failure("the seed%s must lie between 0 and %d" % ("s" if runs > 1 else "",
                                                               2 ** 32 - 1))


def whole(name, text, least, most=None):
    """The whole number `text` given as `name`, from `least` to `most`; a Failure that says
    why where it is none."""
    bound = "from %d up" % least if most is None else "from %d to %d" % (least, most)
    if not (text.isascii() and text.isdigit()) or int(text) < least or (
            most is not None and int(text) > most):
        raise Failure("%s must be a whole number %s, not %r" % (name, bound, text))
    return int(text)


def check_step(text):
    """The milliseconds of a fixed frame step (--step), or a Failure."""
    return whole("the step (--step) in milliseconds", text, 1, 1000)


def check_frames(text):
    """The frames a run is to draw (--frames), or a Failure."""
    return whole("the number of frames (--frames)", text, 1)


def add_run_options(parser, each=""):
    """The options of every tool that runs a program, beside its own: --set, --step,
    --frames and --check. `each` says what a length in frames is of."""
    parser.add_argument("--set", action="append", default=[], metavar="FIELD=VALUE",
                        help="build a variant of the program with this setting, and run it")
    parser.add_argument("--step", metavar="MS", help="milliseconds a frame by the program's clock")
    parser.add_argument("--frames", metavar="N", help="draw exactly N frames" + each)
    parser.add_argument("--check", action="store_true",
                        help="only check the arguments, before anything is built")


def run_options(args):
    """(step, frames) that the options of add_run_options give, each None where not given;
    a Failure where either cannot be."""
    return (None if args.step is None else check_step(args.step),
            None if args.frames is None else check_frames(args.frames))


def pinned(first):
    """The environment of a run whose wall clock is stopped at the Unix second `first`
    (lab.run.pinned_clock), so that srand(time(0)) takes it as the seed; a Failure where
    it is no seed srand can take, or where libfaketime is missing."""
    check_seeds(first)
    require([(FAKETIME, "faketime")])
    return pinned_clock(first)


def x_server():
    """A private X server for a tool's runs (lab.xserver); a Failure where none starts."""
    try:
        return XServer()
    except RuntimeError as e:
        raise Failure("no virtual X server: %s" % e)


def command(work, say):
    """Runs work(), the whole of a tool's command, and returns its exit status: a signal
    unwinds like an error, so that nothing is left running, and a failure is said in words
    rather than shown as a traceback."""
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, lambda signum, _: sys.exit(128 + signum))
    try:
        work()
    except Failure as e:
        say("error: %s" % e)
        return 1
    except subprocess.TimeoutExpired as e:
        say("error: %s took too long" % e.cmd[0])
        return 1
    except KeyboardInterrupt:
        say("interrupted")
        return 130
    return 0


# -- the frame counter ------------------------------------------------------------------

# One line of the counter's file.
Record = namedtuple("Record",
                    "pid swaps start_ns first_ns last_ns end_ns cpu_first_ns cpu_last_ns")


def parse_records(text):
    """The counter's lines, by pid. A line that does not parse is an error: the file
    has nothing in it but what the counter wrote."""
    records = {}
    for number, line in enumerate(text.splitlines(), 1):
        words = line.split()
        if not words:
            continue
        try:
            if words[0] != "swapcount":
                raise ValueError("not a counter line")
            fields = dict(w.split("=", 1) for w in words[1:])
            record = Record(*(int(fields[f]) for f in Record._fields))
        except (ValueError, KeyError, TypeError) as e:
            raise ValueError("line %d of the frame counter's file: %r (%s)"
                             % (number, line, e)) from None
        records[record.pid] = record
    return records


def record_for(text, pid):
    """The line of the process `pid`: a helper process that inherited the counter
    writes a line of its own."""
    records = parse_records(text)
    if pid not in records:
        raise ValueError("the frame counter wrote nothing for process %d (lines for %s)"
                         % (pid, sorted(records) or "none"))
    return records[pid]


def preload(env, *libraries):
    """`env` with `libraries` preloaded after whatever it or ours preloads already."""
    before = env.get("LD_PRELOAD") or os.environ.get("LD_PRELOAD", "")
    return {**env, "LD_PRELOAD": " ".join(before.split() + list(libraries))}


# -- apitrace ---------------------------------------------------------------------------

class _Calls(pickle.Unpickler):
    """apitrace pickle's stream of calls, (number, name, [(argument, value)], result,
    flags). Unlike apitrace dump's text, it keeps every float exactly."""

    def find_class(self, module, name):
        if (module, name) == ("unpickle", "Pointer"):
            return int  # an address: nothing here reads it
        raise pickle.UnpicklingError("unexpected %s.%s in apitrace's pickle" % (module, name))


def read_trace(trace):
    """The program's own frames in the trace: (frames, the calls that end them, glOrtho's
    arguments). A frame is a list of [x, y, rotation or None], one for each creature.

    SDL may show a frame of its own when it opens the window; the program's frames are
    those from the one in which it sets its projection on. A creature is the place of one
    glTranslatef, turned by the glRotatef that may follow before its shape is begun."""
    proc = subprocess.Popen([APITRACE, "pickle", trace], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    frames, ends, ortho, creatures, placing = [], [], None, [], False
    try:
        calls = _Calls(proc.stdout)
        while True:
            try:
                no, name, args, _, flags = calls.load()
            except EOFError:
                break
            if name == "glTranslatef":
                creatures.append([args[0][1], args[1][1], None])
                placing = True
            elif name == "glRotatef" and placing:
                creatures[-1][2] = args[0][1]
            elif name == "glBegin":
                placing = False
            elif name == "glOrtho" and ortho is None:
                ortho = [value for _, value in args]
            if flags & END_FRAME:
                if ortho is not None:
                    frames.append(creatures)
                    ends.append(no)
                creatures, placing = [], False
    finally:
        proc.stdout.close()
        err = proc.stderr.read().decode(errors="replace")
        proc.wait()
    if proc.returncode != 0:
        raise Failure("apitrace pickle could not read the trace: " + err.strip())
    return frames, ends, ortho


# -- a traced run, and a recorded one ---------------------------------------------------

Run = namedtuple("Run", "frames ends projection window rate seconds output trace step")
Run.__doc__ = """One run: the program's frames in drawing order (see read_trace), the trace's
calls that end them, the projection it drew with, its window's size, its frame rate (None
for a single frame without a step) and the seconds from its first frame to its last (by
its fixed frame step, where it had one), what it wrote, the trace file, and the step (ms,
or None). A recorded run, which drew nothing, has no trace and no calls that end frames."""


def _tracer():
    found = sorted(glob.glob("/usr/lib/*/apitrace/wrappers/glxtrace.so"))
    if not found:
        raise Failure("apitrace's tracer glxtrace.so not found: install Debian's apitrace")
    return found[0]


def _watched(program, seconds, display, tools, env, say, frames, step, how, beneath=(),
             opened=None):
    """Runs `program` in the X server `display` with `beneath` (libraries of the folder
    `tools`, the build's bench/) preloaded after the frame counter, and the frame clock
    where it has a length in frames or a step; (the counter's record, its window's size,
    what it wrote). `how` says in words how it is watched. A run with something beneath it
    is not looked at: its window's size is None, for what is beneath to tell, and
    opened() whether its window opened."""
    needed = [os.path.join(tools, "libswapcount.so")] + (
        [os.path.join(tools, "libframeclock.so")] if frames or step else []) + [
        os.path.join(tools, library) for library in beneath]
    for library in needed:
        if not os.path.exists(library):
            raise Failure("no %s: build the benchmarks' tools (scripts/build.sh builds them)"
                          % library)
    if frames:
        env["FRAMECLOCK_FRAMES"] = str(frames)
    if step:
        env["FRAMECLOCK_STEP_MS"] = str(step)
    # In this order: each swap is counted, then moves the frame clock, then reaches what
    # stands last, the driver's swap or the recorder's, which passes it on to nothing.
    env = preload(env, *map(os.path.abspath, needed))
    name = os.path.basename(program)
    say("running %s in a private X server (%s), %s%s" % (
        name, display, how, "" if not step else ", its clock %d ms a frame" % step))
    with Program(program, display=display, env=env) as p:
        window = None
        # Undrawn frames may all be over before its window could be seen: what is beneath
        # a run tells whether its window opened.
        if not beneath:
            try:
                p.wait_window()
            except AssertionError as e:
                raise Failure("%s did not open its window: %s" % (name, e))
            window = p.window_size()
        if frames:
            say("running it for %d frames" % frames)
            # As long as they take: a loaded machine draws them slowly, a hung program is
            # the caller's to interrupt.
            timeout = None
        else:
            say("its window is open; running it for %g s" % seconds)
            time.sleep(seconds)
            p.close_window()
            timeout = EXIT_TIMEOUT
        try:
            status, out = p.wait(timeout)
        except AssertionError as e:
            raise Failure("%s did not end when its window was closed: %s" % (name, e))
        if status != 0:
            raise Failure("%s %s with status %s\n%s" % (
                name, "did not open its window: it ended" if opened and not opened() else
                "ended", status, p.describe()))
        pid = p.proc.pid
    say("it drew its %d frames and ended normally" % frames if frames else
        "closed its window; it ended normally")
    try:
        with open(env["SWAPCOUNT_FILE"]) as f:
            record = record_for(f.read(), pid)
    except (OSError, ValueError) as e:
        raise Failure("no frame counts for %s: %s" % (name, e))
    if frames and record.swaps != frames:
        raise Failure("the program showed %d frames, not %d" % (record.swaps, frames))
    if record.swaps < 1 or (record.swaps < 2 and not frames):
        raise Failure("the program showed %d frames: too few to tell its speed" % record.swaps)
    return record, window, out


def _run(drawn, ends, ortho, record, window, out, trace, step, say):
    """The Run of what was read, its rate and seconds by the step or the frame counter."""
    if step:
        rate, span = 1000 / step, (record.swaps - 1) * step / 1000
        say("it drew %d frames, %d ms apart by its own clock: %.3f s"
            % (record.swaps, step, span))
    elif record.swaps < 2:
        rate, span = None, 0.0  # one frame asked for: it has no speed
    else:
        # Neither the trace nor the recorder keeps times of its own; the frame counter
        # noted when the first and the last frame were shown.
        span = (record.last_ns - record.first_ns) / 1e9
        rate = (record.swaps - 1) / span
        say("it drew %d frames in %.3f s from the first to the last: %.3f a second"
            % (record.swaps, span, rate))
    left, right, bottom, top = ortho[:4]
    return Run(drawn, ends, Projection(left, right, bottom, top, *window), window, rate, span,
               out, trace, step)


def traced_run(program, seconds, display, folder, tools, env=None, say=lambda what: None,
               frames=None, step=None):
    """Runs `program` in the X server `display`, traced by apitrace with the frame counter
    of the folder `tools` (the build's bench/) preloaded, and reads what it drew; its trace
    and counts are kept in `folder`. The run lasts `seconds` after its window shows, and
    then its window is closed as a user would; or, given `frames`, it draws exactly that
    many and is closed from beneath (bench/frameclock.c), however long they take. Given
    `step`, its frame clock moves on by exactly `step` ms a frame, and the run's rate and
    seconds are those of that clock."""
    trace = os.path.join(folder, "run.trace")
    env = preload(dict(env or {}, TRACE_FILE=trace,
                       SWAPCOUNT_FILE=os.path.join(folder, "swaps")), _tracer())
    record, window, out = _watched(program, seconds, display, tools, env, say, frames, step,
                                   "traced by apitrace")
    say("reading the trace")
    drawn, ends, ortho = read_trace(trace)
    if len(drawn) != record.swaps:
        raise Failure("the trace holds %d of the program's frames, but it showed %d"
                      % (len(drawn), record.swaps))
    return _run(drawn, ends, ortho, record, window, out, trace, step, say)


WINDOW = struct.Struct("=2I")
PROJECTION = struct.Struct("=6d")
COUNT = struct.Struct("=I")
SHAPE = struct.Struct("=fffI")


class Placed(Sequence):
    """The frames of a recording, each a list of [x, y, rotation or None] as read_trace
    gives it. A run of frames holds hundreds of thousands of shapes, and a measure needs
    only their coordinates: columns() reads those straight from the file's bytes, and the
    lists are made only when a frame is asked for."""

    def __init__(self, data, starts):
        self.data, self.starts, self.frames = data, starts, None
        self.floats = memoryview(data).cast("f")

    def __len__(self):
        return len(self.starts)

    def __getitem__(self, k):
        if self.frames is None:
            self.frames = [[[x, y, angle if turned else None] for x, y, angle, turned in
                            SHAPE.iter_unpack(self.data[at:at + count * SHAPE.size])]
                           for at, count in self.starts]
        return self.frames[k]

    def __eq__(self, other):
        return isinstance(other, Sequence) and list(self) == list(other)

    def columns(self, k):
        """Frame k's x and y coordinates, each a list in creature order."""
        at, count = self.starts[k]
        first = at // 4
        return (self.floats[first:first + 4 * count:4].tolist(),
                self.floats[first + 1:first + 4 * count:4].tolist())


def counts(frames):
    """How many shapes each of `frames` holds, as read_trace or read_placed gives them."""
    return [count for _, count in frames.starts] if isinstance(frames, Placed) else [
        len(frame) for frame in frames]


def coordinates(frames, k):
    """Frame k's x and y coordinates, each a list in creature order, of `frames` as
    read_trace or read_placed gives them."""
    if isinstance(frames, Placed):
        return frames.columns(k)
    return [c[0] for c in frames[k]], [c[1] for c in frames[k]]


def read_placed(path):
    """The window's size, and the frames (a Placed) and glOrtho's arguments as read_trace
    reads them from a trace, in the recorder's file (bench/placed.c): the floats the
    program handed over, exactly."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < WINDOW.size + PROJECTION.size:
        raise Failure("the program set no projection")
    window = WINDOW.unpack_from(data)
    ortho = list(PROJECTION.unpack_from(data, WINDOW.size))
    at, starts = WINDOW.size + PROJECTION.size, []
    while at + COUNT.size <= len(data):
        count, = COUNT.unpack_from(data, at)
        at += COUNT.size
        starts.append((at, count))
        at += count * SHAPE.size
    if at != len(data):
        raise Failure("the recorder's file ends inside a frame")
    return window, Placed(data, starts), ortho


def recordable(frames, step, timed):
    """Whether a run that only needs places may be recorded without drawing. Not a run of
    seconds: undrawn, it would hold hundreds of thousands of frames, and say nothing of
    what a window shows. Nor a timed program's run without a fixed step: undrawn frames
    take no whole millisecond of its clock, so its creatures would hardly move."""
    return bool(frames) and (bool(step) or not timed)


def recorded_run(program, display, folder, tools, frames, env=None, say=lambda what: None,
                 step=None):
    """What traced_run reads from a run of exactly `frames` frames, the same places and
    projection, read without drawing them: the recorder of the folder `tools`
    (bench/placed.c) stands in front of every OpenGL call, so Mesa draws nothing and the
    run costs what the program computes. Its recording and counts are kept in `folder`."""
    placed = os.path.join(folder, "placed")
    env = dict(env or {}, PLACED_FILE=placed, SWAPCOUNT_FILE=os.path.join(folder, "swaps"))
    record, _, out = _watched(program, None, display, tools, env, say, frames, step,
                              "its places recorded without drawing them", ["libplaced.so"],
                              lambda: os.path.exists(placed))
    try:
        window, drawn, ortho = read_placed(placed)
    except OSError as e:
        raise Failure("no recording of %s's places: %s" % (os.path.basename(program), e))
    if len(drawn) != record.swaps:
        raise Failure("the recording holds %d of the program's frames, but it showed %d"
                      % (len(drawn), record.swaps))
    return _run(drawn, None, ortho, record, window, out, None, step, say)
