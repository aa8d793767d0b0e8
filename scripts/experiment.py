# SPDX-License-Identifier: MIT
"""Many seeded runs of one program, measured in every frame it drew: the work behind
scripts/experiment.sh.

    /usr/bin/python3 scripts/experiment.py --build DIR [--seed SECOND] [--step MS]
        [--every K] [--vary SETTING=V1,V2,...] [--check]
        (--frames N PROGRAM RUNS | PROGRAM RUNS SECONDS) STEM

Runs PROGRAM (a name in the build folder DIR, or a path) RUNS times for SECONDS each, or
for exactly N frames each, each in a private virtual X server, as many side by side as
there are cores. A run of frames has its places recorded without drawing them
(lab.traces.recorded_run), unless it is a timed program's without a step; a run of
seconds is drawn and traced as scripts/trails.sh traces it. Run i (from 1) sees
the wall clock stopped at the second SECOND + i - 1 (by default SECOND is the second the
experiment starts), so srand(time(0)) seeds it with that second; its frame clock runs on,
by exactly MS milliseconds a frame with --step. It writes

  STEM.csv  run,seed,step_ms,frame,inside,outside,mean_distance,mean_from_start,mean_step:
            one row for each run and each frame it drew (with --every K, each K-th frame
            from frame 0), the measures of the creatures' positions as the program handed
            them to OpenGL (step_ms: the fixed frame step it ran with, empty where its
            clock was the machine's; mean_step: from the frame just before)
  STEM.png  each measure against the frame (the timed programs: the seconds of their
            own frame clock), each run a thin line, the median of the runs a bold one

A sweep (--vary) first builds, for each value, a variant of PROGRAM with that setting
changed (scripts/variants.py), in DIR/sweep/PROGRAM-SETTING-VALUE/, then runs every
variant RUNS times, run i of each at the same second. STEM.csv then has the setting as its
first column; STEM.png shows each value's median and interquartile range in a colour of
its own; STEM-summary.csv (SETTING,measure,frame or seconds,runs,lower_quartile,median,
upper_quartile) holds them at the last measured frame (timed programs: the last moment of
their frame clock) that every run of every value reached, so that all values are compared
at the same point. --check only checks the arguments, before anything is built.

What this script is doing goes to standard error. It leaves nothing running, and no
half-written file when it fails.
"""

import argparse
import concurrent.futures
import csv
import importlib.util
import math
import os
import re
import sys
import tempfile
import threading
import time
import warnings
from collections import namedtuple

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import variants  # noqa: E402
from lab.programs import describe  # noqa: E402
from lab.run import FAKETIME, pinned_clock  # noqa: E402
from lab.traces import (Failure, add_run_options, check_seeds, command,  # noqa: E402
                        coordinates, counts, recordable, recorded_run, require, run_options,
                        traced_run, whole, x_server)

WIDTH, HEIGHT = 800, 600   # the field, as the movement rules test it
HEADER = ["run", "seed", "step_ms", "frame", "inside", "outside", "mean_distance",
          "mean_from_start", "mean_step"]
PROGRESS_EVERY = 10.0      # s: the longest silence while runs go on
GUESS = 3.0                # s: what a run takes beyond its SECONDS, until one has ended
GUESS_RATE = 100.0         # frames a second a traced run draws, until one has ended
GUESS_RECORDED = 1.0       # s: what a recorded run takes beyond its frames, until one has ended
GUESS_RECORDED_RATE = 20000.0  # frames a second a recorded run makes, until one has ended
BUILD_GUESS = 40.0         # s: what building a variant takes, until one is built


def say(what):
    print("experiment: %s" % what, file=sys.stderr, flush=True)


# -- the measures -----------------------------------------------------------------------

def measures(frames, centre, population, every=1):
    """[inside, outside, mean_distance, mean_from_start, mean_step or None] for frames 0,
    `every`, 2 `every`, ..., `frames` as lab.traces.read_trace gives them. Each frame's
    step is from the frame just before it, measured or not."""
    for k, count in enumerate(counts(frames)):
        if count != population:
            raise Failure("frame %d shows %d creatures, not %d" % (k, count, population))
    cx, cy = centre
    start = coordinates(frames, 0)
    rows, before = [], None
    for k in range(0, len(frames), every):
        xs, ys = now = coordinates(frames, k)
        if k and every > 1:
            before = coordinates(frames, k - 1)
        # Written as the movement rules test it: a coordinate that is not a number is out.
        inside = sum(1 for x, y in zip(xs, ys) if 0 < x < WIDTH and 0 < y < HEIGHT)
        rows.append([inside, population - inside,
                     mean(map(math.hypot, [x - cx for x in xs], [y - cy for y in ys])),
                     apart(now, start), None if before is None else apart(now, before)])
        before = now
    return rows


def apart(now, then):
    """The creatures' mean distance from where they were `then`, both as
    lab.traces.coordinates gives them."""
    return mean(map(math.hypot, [x - x0 for x, x0 in zip(now[0], then[0])],
                    [y - y0 for y, y0 in zip(now[1], then[1])]))


def mean(values):
    values = list(values)
    return sum(values) / len(values)


def steps(frames):
    """Each frame's mean step from the one before, from frame 1."""
    every = [coordinates(frames, k) for k in range(len(frames))]
    return [apart(now, before) for before, now in zip(every, every[1:])]


def frame_clock(steps, speed):
    """The seconds of a timed program's own clock at each frame, from its first, given
    each frame's mean step from frame 1: each step is `speed` times the whole
    milliseconds SDL counted for that frame."""
    ms, clock = 0, [0.0]
    for step in steps:
        ms += round(step / speed)
        clock.append(ms / 1000)
    return clock


# -- the runs ---------------------------------------------------------------------------

class Length(namedtuple("Length", "seconds frames step")):
    """How long each run goes on, `seconds` or exactly `frames` frames (the other None),
    and the fixed frame step its clock moves by (ms; None: the machine's clock)."""

    def __str__(self):
        return ("%g s" % self.seconds if self.frames is None else "%d frames" % self.frames) + (
            "" if self.step is None else " of %d ms" % self.step)

    def options(self):
        """What gives it on the tool's command line, before PROGRAM."""
        return "".join("--%s %d " % (name, value) for name, value in
                       (("step", self.step), ("frames", self.frames)) if value is not None)

    def seconds_argument(self):
        """What gives it after PROGRAM and RUNS."""
        return "" if self.frames is not None else " %g" % self.seconds

    def guess(self, timed):
        """What a run takes, until one has ended; `timed`: of a timed program."""
        if recordable(self.frames, self.step, timed):
            return GUESS_RECORDED + self.frames / GUESS_RECORDED_RATE
        return GUESS + (self.seconds if self.frames is None else self.frames / GUESS_RATE)


Job = namedtuple("Job", "group run seed program description label")
Job.__doc__ = """A run to make: of the value numbered `group` of a sweep (0 for a plain
experiment), the program to run, its description and how the run is named."""
Result = namedtuple("Result", "group run seed rows seconds drawn frames clock")
Result.__doc__ = """A run's measures, `rows`, of the frames numbered in `frames`, and for a
timed program the seconds of its frame clock at each of them (`clock`; else None), of the
`drawn` frames it drew in `seconds`."""


def measured(job, run, every=1):
    """The Result of `job`'s `run` (lab.traces.Run), measured every `every` frames."""
    rows = measures(run.frames, job.description.centre, job.description.population, every)
    frames = list(range(0, len(run.frames), every))
    clock, speed = None, job.description.speed
    if speed:
        # A timed program's step in a frame is its speed times the frame time, so the
        # steps give back the frame clock the program itself read.
        clock = frame_clock([row[4] for row in rows[1:]] if every == 1 else steps(run.frames),
                            speed)
        clock = [clock[k] for k in frames]
    return Result(job.group, job.run, job.seed, rows, run.seconds, len(run.frames), frames,
                  clock)


def runs_take(runs, workers, each):
    return math.ceil(runs / workers) * each


class Experiment:
    """The runs, side by side in a pool of threads, each in an X server that no other run
    uses meanwhile, stopped at once when the experiment is given up. A server is kept for
    the next run: starting one costs as much as a run of frames."""

    def __init__(self, length, tools, workers, every=1, timed=False):
        self.length, self.tools, self.every, self.timed = length, tools, every, timed
        self.workers = workers
        self.lock = threading.Lock()
        self.servers = set()  # every server started, to stop
        self.idle = []        # those no run uses
        self.started = {}   # job: when it began
        self.took = []      # the wall seconds of each ended run
        self.given_up = False

    def one(self, job):
        with self.lock:
            if self.given_up:
                return None
            self.started[job] = time.monotonic()
        with tempfile.TemporaryDirectory(prefix="moblings-experiment-") as folder:
            server = self.server()
            env = pinned_clock(job.seed)
            try:
                if recordable(self.length.frames, self.length.step, job.description.timed):
                    run = recorded_run(job.program, server.display, folder, self.tools,
                                       self.length.frames, env=env, step=self.length.step)
                else:
                    run = traced_run(job.program, self.length.seconds, server.display,
                                     folder, self.tools, env=env,
                                     frames=self.length.frames, step=self.length.step)
            except Failure as e:
                raise Failure("run %d%s (seed %d): %s" % (job.run, job.label, job.seed, e))
            finally:
                with self.lock:
                    self.idle.append(server)
            # Its frames are many; only their measures are kept.
            result = measured(job, run, self.every)
        with self.lock:
            self.took.append(time.monotonic() - self.started.pop(job))
        return result

    def server(self):
        with self.lock:
            if self.idle:
                return self.idle.pop()
        server = x_server()
        with self.lock:
            self.servers.add(server)
            if self.given_up:
                server.stop()
        return server

    def stop(self, give_up=False):
        """Stops every server; given up, no run starts any more."""
        with self.lock:
            self.given_up = self.given_up or give_up
            for server in self.servers:
                server.stop()

    def time_left(self, waiting):
        with self.lock:
            each = sum(self.took) / len(self.took) if self.took else self.length.guess(self.timed)
            now = time.monotonic()
            running = max((each - (now - t) for t in self.started.values()), default=0)
        return max(0.0, running) + runs_take(waiting, self.workers, each)

    def progress(self, runs, done):
        with self.lock:
            running = len(self.started)
        say("%d of %d runs done, %d left (%d running); about %.0f s left"
            % (done, runs, runs - done, running, self.time_left(runs - done - running)))

    def run_all(self, jobs):
        results = []
        runs = len(jobs)
        begun = time.monotonic()
        with concurrent.futures.ThreadPoolExecutor(self.workers) as pool:
            futures = {pool.submit(self.one, job): job for job in jobs}
            pending = set(futures)
            try:
                self.progress(runs, 0)
                while pending:
                    done, pending = concurrent.futures.wait(
                        pending, PROGRESS_EVERY, concurrent.futures.FIRST_COMPLETED)
                    for future in done:
                        result = future.result()
                        results.append(result)
                        say("run %d%s (seed %d) done: %d frames in %.1f s"
                            % (result.run, futures[future].label, result.seed,
                               result.drawn, result.seconds))
                    if pending:
                        self.progress(runs, len(results))
            except BaseException as e:
                for future in pending:
                    future.cancel()
                self.stop(give_up=True)
                if not isinstance(e, Failure):
                    say("stopping: the runs in progress are stopped")
                raise
        self.stop()
        say("all %d runs took %.0f s" % (runs, time.monotonic() - begun))
        return sorted(results)


# -- what it writes ---------------------------------------------------------------------

Group = namedtuple("Group", "value description results")
Group.__doc__ = """The runs of one value of a sweep (value: its text; None in a plain
experiment) and the description of the program that made them."""


def number(value):
    return "" if value is None else repr(value) if isinstance(value, float) else str(value)


def written(file, write):
    """Writes `file` by write(f), whole or not at all."""
    partial = file + ".part"
    with open(partial, "w", newline="") as f:
        write(f)
    os.replace(partial, file)


def write_csv(groups, file, step, setting=None):
    def write(f):
        out = csv.writer(f)
        out.writerow(([setting] if setting else []) + HEADER)
        for g in groups:
            for r in g.results:
                for k, row in zip(r.frames, r.rows):
                    out.writerow(([g.value] if setting else []) + [r.run, r.seed, number(step), k]
                                 + [number(v) for v in row])
    written(file, write)
    say("wrote %s: %d rows, %.1f KB" % (file, sum(len(r.rows) for g in groups for r in g.results),
                                         os.path.getsize(file) / 1000))


MEASURES = HEADER[4:]
PANELS = [("inside the field", "creatures"), ("outside the field", "creatures"),
          ("mean distance from the centre %s", "world units"),
          ("mean distance from where each was first drawn", "world units"),
          ("mean step since the frame before", "world units")]


def series(group):
    """Each run's measured frames as the plot's x, the frame or (for a timed program) the
    seconds of its frame clock, and its measures, an array of frames by measures (NaN:
    none)."""
    import numpy as np

    return [(np.array(r.frames if r.clock is None else r.clock, float),
             np.array([[np.nan if v is None else v for v in row] for row in r.rows]))
            for r in group.results]


def at(runs, points):
    """The runs' measures at each of `points` of x: a run's at a point are those of its
    last frame by then. An array of runs by points by measures."""
    import numpy as np

    return np.stack([v[np.searchsorted(x, points, side="right") - 1] for x, v in runs])


def quartiles(sampled):
    import numpy as np

    # NumPy's nanpercentile takes each column on its own, a hundred times slower than
    # percentile: it is kept for the few columns that hold a NaN, the first frame's step.
    q = np.percentile(sampled, [25, 50, 75], axis=0)
    missing = np.isnan(sampled).any(axis=0)
    if missing.any():
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", RuntimeWarning)  # the first frame has no step
            q[:, missing] = np.nanpercentile(sampled[:, missing], [25, 50, 75], axis=0)
    return q


def write_summary(groups, file, setting):
    """Each value's quartiles of each measure at the last frame (a timed program: moment)
    that every run of every value reached."""
    every = [series(g) for g in groups]
    timed = groups[0].description.speed
    last = min(x[-1] for runs in every for x, _ in runs)
    at_what = "seconds" if timed else "frame"

    def write(f):
        out = csv.writer(f)
        out.writerow([setting, "measure", at_what, "runs", "lower_quartile", "median",
                      "upper_quartile"])
        for g, runs in zip(groups, every):
            low, median, high = quartiles(at(runs, [last]))
            for m, name in enumerate(MEASURES):
                out.writerow([g.value, name, number(float(last) if timed else int(last)),
                              len(runs)]
                             + [number(None if q[0, m] != q[0, m] else float(q[0, m]))
                                for q in (low, median, high)])
    written(file, write)
    say("wrote %s: each value's quartiles at %s %g, the last every run reached"
        % (file, at_what, last))


def plot(groups, length, program, file, chosen="", setting=None):
    """`chosen`: the options that gave the runs their step, length and settings, as the
    tool's command line gives them."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np
    from matplotlib.ticker import MaxNLocator

    fig, axes = plt.subplots(3, 2, figsize=(11, 9.5), sharex=True)
    results = [r for g in groups for r in g.results]
    runs = len(groups[0].results)
    first, last = min(r.seed for r in results), max(r.seed for r in results)
    varied = " with %s = %s" % (setting, ", ".join(g.value for g in groups)) if setting else ""
    given = re.findall(r"--set (\S+)", chosen)
    varied = (" (%s)" % ", ".join(given) if given else "") + varied
    title = "%s%s: %d run%s of %s%s, seeds %d%s" % (
        program, varied, runs, "s" if runs > 1 else "", length, " each" if setting else "",
        first, "" if first == last else " to %d" % last)
    # The figure holds about 95 characters of the title's size in a line.
    fig.suptitle(title if len(title) <= 95 else title.replace(": ", ":\n", 1), fontsize=13)
    timed = any(g.description.speed for g in groups)
    # The median is over what every run of a value reached: the frames, or for the timed
    # programs moments of their clock, each run at a moment taken as its last frame drawn
    # by then.
    drawn = []
    for g in groups:
        runs_of = series(g)
        end = min(x[-1] for x, _ in runs_of)
        # The frames every run measured.
        points = (np.linspace(0, end, 400) if g.description.speed else
                  min((x for x, _ in runs_of), key=len))
        drawn.append((runs_of, points, quartiles(at(runs_of, points))))
    if setting:
        colours = plt.get_cmap("viridis")(np.linspace(0, 0.85, len(groups)))
    else:
        colours = [None]
        each = plt.get_cmap("viridis")(np.linspace(0, 0.9, len(results)))
    centre = "(%g, %g)" % groups[0].description.centre
    population = max(g.description.population for g in groups)
    for m, ((title, unit), ax) in enumerate(zip(PANELS, axes.flat)):
        for (runs_of, points, (low, median, high)), colour in zip(drawn, colours):
            if setting:
                ax.fill_between(points, low[:, m], high[:, m], color=colour, alpha=0.25,
                                linewidth=0)
                ax.plot(points, median[:, m], color=colour, linewidth=2.2)
            else:
                for (x, v), c in zip(runs_of, each):
                    ax.plot(x, v[:, m], color=c, linewidth=0.7, alpha=0.7)
                ax.plot(points, median[:, m], color="black", linewidth=2.2)
        ax.set_title(title % centre if "%s" in title else title, fontsize=10)
        ax.set_ylabel(unit)
        ax.grid(True, alpha=0.3)
        ax.xaxis.set_tick_params(labelbottom=True)
        if unit == "creatures":
            ax.set_ylim(-0.5, population + 0.5)
            ax.yaxis.set_major_locator(MaxNLocator(integer=True))
        else:
            # From nought: a distance's size matters, not only its wobble.
            highest = max(np.nanmax(v[:, m], initial=0) for runs_of, _, _ in drawn
                          for _, v in runs_of)
            ax.set_ylim(0, 1.08 * max(1.0, highest))
    xlabel = "seconds of the run, by the program's own frame clock" if timed else "frame drawn"
    for ax in axes.flat[-3:-1]:
        ax.set_xlabel(xlabel)
    note = axes.flat[-1]
    note.axis("off")
    reached = "ran" if timed else "drew"
    if setting:
        for g, colour in zip(groups, colours):
            note.plot([], [], color=colour, linewidth=2.2, label="%s = %s" % (setting, g.value))
        note.fill_between([], [], [], color="grey", alpha=0.25,
                          label="each value: the median of its %d runs, and the band between\n"
                          "their quartiles, as far as all %s" % (runs, reached))
        repeat = "\n    --seed SEED %s--vary %s=VALUE\n    %s 1%s" % (
            chosen, setting, program, length.seconds_argument())
    else:
        note.plot([], [], color=each[0], linewidth=0.7, label="each run, a colour of its own")
        note.plot([], [], color="black", linewidth=2.2,
                  label="median of the %d runs, as far as all %s" % (runs, reached))
        repeat = "--seed SEED %s\n    %s 1%s" % (chosen, program, length.seconds_argument())
    note.legend(loc="upper left", frameon=False)
    frames = sorted(r.drawn for r in results)
    populations = sorted({g.description.population for g in groups})
    note.text(0.0, 0.0 if setting else 0.55,
              "%s creature%s; frames drawn in a run: %d to %d\n"
              "inside: strictly within 0 to 800 by 0 to 600\n"
              "repeat run i%s: scripts/experiment.sh %s   (SEED = %d + i - 1)"
              % ("/".join(map(str, populations)), "" if populations == [1] else "s", frames[0],
                 frames[-1], " of a value" if setting else "", repeat, first),
              transform=note.transAxes, va="bottom" if setting else "top", fontsize=9,
              family="monospace")
    fig.tight_layout()
    partial = file + ".part"
    fig.savefig(partial, format="png", dpi=90)
    plt.close(fig)
    os.replace(partial, file)
    say("wrote %s, %.1f KB" % (file, os.path.getsize(file) / 1000))


# -- the command ------------------------------------------------------------------------

def check_tools():
    require([(FAKETIME, "faketime")])
    for module in ("matplotlib", "numpy"):
        if importlib.util.find_spec(module) is None:
            raise Failure("Python's %s not found: install Debian's python3-matplotlib "
                          "(scripts/install-deps.sh does)" % module)


def build_all(build, program, setting, values, runs_left):
    """The variants' programs, built one after the other with all the cores, saying how
    far it is; runs_left(): what the runs after them will take."""
    paths, took = [], []
    for i, v in enumerate(values):
        where = variants.folder(build, v)

        def left(so_far=0.0):
            each = sum(took) / len(took) if took else BUILD_GUESS
            return max(0.0, each - so_far) + (len(values) - i - 1) * each + runs_left()

        say("building %s (%d of %d) in %s; about %.0f s left"
            % (v.name, i + 1, len(values), where, left()))
        begun = time.monotonic()
        wait = variants.waiting(lambda so_far: say(
            "building %d of %d: %.0f s so far; about %.0f s left"
            % (i + 1, len(values), so_far, left(so_far))), PROGRESS_EVERY)
        try:
            paths.append(variants.build(build, program, where, v, wait))
        except RuntimeError as e:
            raise Failure("building %s: %s" % (v.name, e))
        took.append(time.monotonic() - begun)
    return paths


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="the build folder")
    parser.add_argument("--seed", type=int, help="the first run's second (Unix time)")
    parser.add_argument("--vary", metavar="SETTING=V1,V2,...",
                        help="build a variant of the program for each value and run each")
    parser.add_argument("--every", metavar="K", default="1",
                        help="measure only frames 0, K, 2K, ...")
    add_run_options(parser, " a run")
    parser.add_argument("program")
    parser.add_argument("runs", type=int)
    parser.add_argument("length", nargs="+", metavar="[SECONDS] STEM")
    args = parser.parse_args()
    program = args.program if "/" in args.program else os.path.join(args.build, args.program)
    name = os.path.basename(program)

    def work():
        step, frames = run_options(args)
        every = whole("the measuring interval (--every)", args.every, 1)
        length = Length(None, frames, step)
        try:
            description = describe(program)
            setting, values = (variants.variants(name, args.vary, args.set)
                               if args.vary or args.set else (None, []))
        except (ValueError, variants.Invalid) as e:
            raise Failure(e)
        if args.runs < 1:
            raise Failure("RUNS must be at least 1")
        if len(args.length) != (1 if length.frames else 2):
            raise Failure("give SECONDS and STEM, or --frames N and STEM alone")
        stem = args.length[-1]
        if not length.frames:
            try:
                length = length._replace(seconds=float(args.length[0]))
            except ValueError:
                length = length._replace(seconds=math.nan)
            if not length.seconds > 0:
                raise Failure("SECONDS must be more than 0")
        first = int(time.time()) if args.seed is None else args.seed
        check_seeds(first, args.runs)
        if args.check:
            return
        if not values and (not os.access(program, os.X_OK) or os.path.isdir(program)):
            raise Failure("not a program: %s" % program)
        check_tools()
        os.makedirs(os.path.dirname(os.path.abspath(stem)), exist_ok=True)
        runs = args.runs * max(1, len(values))
        workers = min(runs, len(os.sched_getaffinity(0)))
        seeds = "seeds %d to %d" % (first, first + args.runs - 1)

        def runs_left():
            return runs_take(runs, workers, length.guess(description.timed))

        if values and not setting:
            # Only --set: one variant, then an experiment as of any program.
            say("%s with %s: a variant to build" % (name, ", ".join(args.set)))
            program_run = build_all(args.build, name, setting, values, runs_left)[0]
            description = variants.described(description, name, values[0])
            values = []
        else:
            program_run = program
        if values:
            say("a sweep of %s over %s = %s: %d variant%s to build, then %d run%s of each "
                "of %s, %d side by side; %s for each value"
                % (name, setting, ", ".join(v.text for v in values), len(values),
                   "s" if len(values) > 1 else "", args.runs, "s" if args.runs > 1 else "",
                   length, workers, seeds))
            paths = build_all(args.build, name, setting, values,
                              runs_left)
            groups = [Group(v.text, variants.described(description, name, v), [])
                      for v in values]
            # Run i of every value, then run i + 1: the values meet the same load.
            jobs = [Job(g, run, first + run - 1, paths[g], groups[g].description,
                        " of %s=%s" % (setting, values[g].text))
                    for run in range(1, args.runs + 1) for g in range(len(values))]
        else:
            say("%d runs of %s of %s each, %d side by side; %s"
                % (args.runs, name, length, workers, seeds))
            groups = [Group(None, description, [])]
            jobs = [Job(0, run, first + run - 1, program_run, description, "")
                    for run in range(1, args.runs + 1)]
        experiment = Experiment(length, os.path.join(args.build, "bench"), workers, every,
                                description.timed)
        for result in experiment.run_all(jobs):
            groups[result.group].results.append(result)
        write_csv(groups, stem + ".csv", length.step, setting)
        if values:
            write_summary(groups, stem + "-summary.csv", setting)
        chosen = length.options() + ("--every %d " % every if every > 1 else "") + "".join(
            "--set %s " % each for each in args.set)
        plot(groups, length, name, stem + ".png", chosen, setting)
        say("run i's seed is %d + i - 1; to repeat run i alone: scripts/experiment.sh "
            "--seed SEED %s%s%s 1%s" % (first, chosen,
                                        "--vary %s=VALUE " % setting if values else "",
                                        args.program, length.seconds_argument()))

    return command(work, say)


if __name__ == "__main__":
    sys.exit(main())
