# SPDX-License-Identifier: MIT
"""Many seeded runs of one program, measured in every frame it drew: the work behind
scripts/experiment.sh.

    /usr/bin/python3 scripts/experiment.py --build DIR [--seed SECOND]
        PROGRAM RUNS SECONDS STEM

Runs PROGRAM (a name in the build folder DIR, or a path) RUNS times for SECONDS each,
each in a private virtual X server and traced as scripts/trails.sh traces it, as many
side by side as there are cores. Run i (from 1) sees the wall clock stopped at the second
SECOND + i - 1 (by default SECOND is the second the experiment starts), so srand(time(0))
seeds it with that second; its frame clock runs on. It writes

  STEM.csv  run,seed,frame,inside,outside,mean_distance,mean_from_start,mean_step:
            one row for each run and each frame it drew, the measures of the creatures'
            positions as the program handed them to OpenGL
  STEM.png  each measure against the frame (the timed programs: the seconds of their
            own frame clock), each run a thin line, the median of the runs a bold one

What this script is doing goes to standard error. It leaves nothing running, and no
half-written file when it fails.
"""

import argparse
import concurrent.futures
import csv
import importlib.util
import math
import os
import sys
import tempfile
import threading
import time
import warnings
from collections import namedtuple

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
from lab.programs import describe  # noqa: E402
from lab.run import FAKETIME, pinned_clock  # noqa: E402
from lab.traces import Failure, command, require, traced_run, x_server  # noqa: E402

WIDTH, HEIGHT = 800, 600   # the field, as the movement rules test it
HEADER = ["run", "seed", "frame", "inside", "outside", "mean_distance", "mean_from_start",
          "mean_step"]
PROGRESS_EVERY = 10.0      # s: the longest silence while runs go on
GUESS = 3.0                # s: what a run takes beyond its SECONDS, until one has ended


def say(what):
    print("experiment: %s" % what, file=sys.stderr, flush=True)


# -- the measures -----------------------------------------------------------------------

def measures(frames, centre, population):
    """[inside, outside, mean_distance, mean_from_start, mean_step or None] for each
    frame, `frames` as lab.traces.read_trace gives them."""
    cx, cy = centre
    rows, before = [], None
    for k, creatures in enumerate(frames):
        if len(creatures) != population:
            raise Failure("frame %d shows %d creatures, not %d" % (k, len(creatures), population))
        # Written as the movement rules test it: a coordinate that is not a number is out.
        inside = sum(1 for x, y, _ in creatures if 0 < x < WIDTH and 0 < y < HEIGHT)
        rows.append([inside, population - inside,
                     mean(math.hypot(x - cx, y - cy) for x, y, _ in creatures),
                     mean(math.hypot(c[0] - s[0], c[1] - s[1])
                          for c, s in zip(creatures, frames[0])),
                     None if before is None else
                     mean(math.hypot(c[0] - b[0], c[1] - b[1]) for c, b in zip(creatures, before))])
        before = creatures
    return rows


def mean(values):
    values = list(values)
    return sum(values) / len(values)


def frame_clock(rows, speed):
    """The seconds of a timed program's own clock at each frame, from its first: each
    step is `speed` times the whole milliseconds SDL counted for that frame."""
    ms, clock = 0, [0.0]
    for row in rows[1:]:
        ms += round(row[4] / speed)
        clock.append(ms / 1000)
    return clock


# -- the runs ---------------------------------------------------------------------------

Result = namedtuple("Result", "run seed rows seconds")


class Experiment:
    """The runs, side by side in a pool of threads, each in an X server of its own that
    is stopped at once when the experiment is given up."""

    def __init__(self, program, seconds, swapcount, workers):
        self.program, self.seconds, self.swapcount = program, seconds, swapcount
        self.description = describe(program)
        self.workers = workers
        self.lock = threading.Lock()
        self.servers = set()
        self.started = {}   # run: when it began
        self.took = []      # the wall seconds of each ended run
        self.given_up = False

    def one(self, run, seed):
        with self.lock:
            if self.given_up:
                return None
            self.started[run] = time.monotonic()
        d = self.description
        with tempfile.TemporaryDirectory(prefix="moblings-experiment-") as folder:
            with x_server() as server:
                with self.lock:
                    self.servers.add(server)
                    if self.given_up:
                        server.stop()
                try:
                    traced = traced_run(self.program, self.seconds, server.display, folder,
                                        self.swapcount, env=pinned_clock(seed))
                except Failure as e:
                    raise Failure("run %d (seed %d): %s" % (run, seed, e))
                finally:
                    with self.lock:
                        self.servers.discard(server)
            # Its frames are many; only their measures are kept.
            rows = measures(traced.frames, d.centre, d.population)
        with self.lock:
            self.took.append(time.monotonic() - self.started.pop(run))
        return Result(run, seed, rows, traced.seconds)

    def give_up(self):
        with self.lock:
            self.given_up = True
            for server in self.servers:
                server.stop()

    def time_left(self, waiting):
        with self.lock:
            each = sum(self.took) / len(self.took) if self.took else self.seconds + GUESS
            now = time.monotonic()
            running = max((each - (now - t) for t in self.started.values()), default=0)
        return max(0.0, running) + math.ceil(waiting / self.workers) * each

    def progress(self, runs, done):
        with self.lock:
            running = len(self.started)
        say("%d of %d runs done, %d left (%d running); about %.0f s left"
            % (done, runs, runs - done, running, self.time_left(runs - done - running)))

    def run_all(self, first_seed, runs):
        results = []
        begun = time.monotonic()
        with concurrent.futures.ThreadPoolExecutor(self.workers) as pool:
            pending = {pool.submit(self.one, run, first_seed + run - 1)
                       for run in range(1, runs + 1)}
            try:
                self.progress(runs, 0)
                while pending:
                    done, pending = concurrent.futures.wait(
                        pending, PROGRESS_EVERY, concurrent.futures.FIRST_COMPLETED)
                    for future in done:
                        result = future.result()
                        results.append(result)
                        say("run %d (seed %d) done: %d frames in %.1f s"
                            % (result.run, result.seed, len(result.rows), result.seconds))
                    if pending:
                        self.progress(runs, len(results))
            except BaseException as e:
                for future in pending:
                    future.cancel()
                self.give_up()
                if not isinstance(e, Failure):
                    say("stopping: the runs in progress end within %g s" % self.seconds)
                raise
        say("all %d runs took %.0f s" % (runs, time.monotonic() - begun))
        return sorted(results)


# -- what it writes ---------------------------------------------------------------------

def number(value):
    return "" if value is None else repr(value) if isinstance(value, float) else str(value)


def write_csv(results, file):
    partial = file + ".part"
    with open(partial, "w", newline="") as f:
        out = csv.writer(f)
        out.writerow(HEADER)
        for r in results:
            for k, row in enumerate(r.rows):
                out.writerow([r.run, r.seed, k] + [number(v) for v in row])
    os.replace(partial, file)
    say("wrote %s: %d rows, %.1f KB" % (file, sum(len(r.rows) for r in results),
                                         os.path.getsize(file) / 1000))


PANELS = [("inside the field", "creatures"), ("outside the field", "creatures"),
          ("mean distance from the centre %s", "world units"),
          ("mean distance from where each was first drawn", "world units"),
          ("mean step since the frame before", "world units")]


def plot(results, description, seconds, file):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np
    from matplotlib.ticker import MaxNLocator

    # A timed program's step in a frame is its speed times the frame time, so the steps
    # give back the frame clock the program itself read.
    speed = description.speed
    xs, values = [], []
    for r in results:
        xs.append(np.array(frame_clock(r.rows, speed) if speed else range(len(r.rows)), float))
        values.append(np.array([[np.nan if v is None else v for v in row] for row in r.rows]))
    # The median is over what every run reached: the frames, or for the timed programs
    # moments of their clock, each run at a moment taken as its last frame drawn by then.
    if speed:
        grid = np.linspace(0, min(x[-1] for x in xs), 400)
        sampled = [v[np.searchsorted(x, grid, side="right") - 1] for x, v in zip(xs, values)]
    else:
        grid = np.arange(min(len(v) for v in values), dtype=float)
        sampled = [v[:len(grid)] for v in values]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)  # the first frame has no step
        median = np.nanmedian(np.stack(sampled), axis=0)

    fig, axes = plt.subplots(3, 2, figsize=(11, 9.5), sharex=True)
    first, last = results[0].seed, results[-1].seed
    fig.suptitle("%s: %d run%s of %g s, seeds %d%s" % (
        description.name, len(results), "s" if len(results) > 1 else "", seconds, first,
        "" if first == last else " to %d" % last), fontsize=13)
    colours = plt.get_cmap("viridis")(np.linspace(0, 0.9, len(results)))
    centre = "(%g, %g)" % description.centre
    for m, ((title, unit), ax) in enumerate(zip(PANELS, axes.flat)):
        for x, v, colour in zip(xs, values, colours):
            ax.plot(x, v[:, m], color=colour, linewidth=0.7, alpha=0.7)
        ax.plot(grid, median[:, m], color="black", linewidth=2.2)
        ax.set_title(title % centre if "%s" in title else title, fontsize=10)
        ax.set_ylabel(unit)
        ax.grid(True, alpha=0.3)
        ax.xaxis.set_tick_params(labelbottom=True)
        if unit == "creatures":
            ax.set_ylim(-0.5, description.population + 0.5)
            ax.yaxis.set_major_locator(MaxNLocator(integer=True))
        else:
            # From nought: a distance's size matters, not only its wobble.
            highest = max(np.nanmax(v[:, m], initial=0) for v in values)
            ax.set_ylim(0, 1.08 * max(1.0, highest))
    xlabel = "seconds of the run, by the program's own frame clock" if speed else "frame drawn"
    for ax in axes.flat[-3:-1]:
        ax.set_xlabel(xlabel)
    note = axes.flat[-1]
    note.axis("off")
    note.plot([], [], color=colours[0], linewidth=0.7, label="each run, a colour of its own")
    note.plot([], [], color="black", linewidth=2.2, label="median of the %d runs, as far as all %s"
              % (len(results), "ran" if speed else "drew"))
    note.legend(loc="upper left", frameon=False)
    frames = sorted(len(v) for v in values)
    note.text(0.0, 0.55, "%d creature%s; frames drawn in a run: %d to %d\n"
              "inside: strictly within 0 to 800 by 0 to 600\n"
              "repeat run i: scripts/experiment.sh --seed SEED\n    %s 1 %g   (SEED = %d + i - 1)"
              % (description.population, "s" if description.population > 1 else "", frames[0],
                 frames[-1], description.name, seconds,
                 first), transform=note.transAxes, va="top", fontsize=9, family="monospace")
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


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="the build folder")
    parser.add_argument("--seed", type=int, help="the first run's second (Unix time)")
    parser.add_argument("program")
    parser.add_argument("runs", type=int)
    parser.add_argument("seconds", type=float)
    parser.add_argument("stem")
    args = parser.parse_args()
    program = args.program if "/" in args.program else os.path.join(args.build, args.program)

    def work():
        if not os.access(program, os.X_OK) or os.path.isdir(program):
            raise Failure("not a program: %s" % program)
        try:
            description = describe(program)
        except ValueError as e:
            raise Failure(e)
        if args.runs < 1:
            raise Failure("RUNS must be at least 1")
        if not args.seconds > 0:
            raise Failure("SECONDS must be more than 0")
        first = int(time.time()) if args.seed is None else args.seed
        # srand takes an unsigned int; time(0) counts from 1970.
        if not 0 <= first <= 2 ** 32 - args.runs:
            raise Failure("the seeds must lie between 0 and %d" % (2 ** 32 - 1))
        check_tools()
        os.makedirs(os.path.dirname(os.path.abspath(args.stem)), exist_ok=True)
        workers = min(args.runs, len(os.sched_getaffinity(0)))
        say("%d runs of %s for %g s each, %d side by side; seeds %d to %d"
            % (args.runs, description.name, args.seconds, workers, first,
               first + args.runs - 1))
        experiment = Experiment(program, args.seconds,
                                os.path.join(args.build, "bench", "libswapcount.so"), workers)
        results = experiment.run_all(first, args.runs)
        write_csv(results, args.stem + ".csv")
        plot(results, description, args.seconds, args.stem + ".png")
        say("run i's seed is %d + i - 1; to repeat run i alone: "
            "scripts/experiment.sh --seed SEED %s 1 %g" % (first, args.program, args.seconds))

    return command(work, say)


if __name__ == "__main__":
    sys.exit(main())
