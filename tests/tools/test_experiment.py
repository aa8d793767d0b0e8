# SPDX-License-Identifier: MIT
"""Tests of scripts/experiment.sh, which runs a program many times, each run seeded by a
second of its own, and measures every frame each drew. Its runs start X servers of their
own, so these need none.

    /usr/bin/python3 test_experiment.py BUILD/moblings [TestClass]

Runs are few and short, and no verdict rests on how many frames a run drew: runs are
compared only over the frames both reached.
"""

import csv
import math
import os
import subprocess
import sys
import tempfile
import time
from collections import namedtuple

from PIL import Image

import test_tools
from test_tools import build_path, harness
from lab import pictures, programs, traces
from lab.run import FAKETIME, Program

sys.path.insert(0, os.path.join(test_tools.ROOT, "scripts"))
import experiment  # noqa: E402

HEADER = ["run", "seed", "step_ms", "frame", "inside", "outside", "mean_distance",
          "mean_from_start", "mean_step"]

Run = namedtuple("Run", "seed rows")  # rows: the measures of each frame, as written


def read_csv(path, setting=None):
    """The runs of an experiment's CSV, in order, after checking that runs count up from 1
    and each run's frames from 0, under one seed; of a sweep's, {value: its runs}."""
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    if setting is None:
        assert rows[0] == HEADER, rows[0]
        return runs_of(rows[1:])
    assert rows[0] == [setting] + HEADER, rows[0]
    values = {}
    for value, *row in rows[1:]:
        values.setdefault(value, []).append(row)
    return {value: runs_of(rows) for value, rows in values.items()}


def runs_of(rows):
    runs = []
    for run, seed, _, frame, *measures in rows:
        if frame == "0":
            runs.append(Run(int(seed), []))
        assert (int(run), int(frame)) == (len(runs), len(runs[-1].rows)), (run, frame)
        assert int(seed) == runs[-1].seed, (run, seed)
        runs[-1].rows.append(measures)
    return runs


class ExperimentTest(test_tools.ToolTest):
    def experiment(self, *args, setting=None):
        """Runs the tool; its runs and its picture's size; of a sweep of `setting`, the runs
        of each value and the rows of its summary in place of the size."""
        with tempfile.TemporaryDirectory() as folder:
            stem = os.path.join(folder, "experiment")
            done = self.tool("experiment.sh", *args, stem)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertRegex(done.stderr, r"\d+ of \d+ runs done, \d+ left .* about \d+ s left")
            with Image.open(stem + ".png") as picture:
                if setting is None:
                    return read_csv(stem + ".csv"), picture.format, picture.size
                self.assertEqual(picture.format, "PNG")
            self.assertRegex(done.stderr, r"building .* \(1 of \d+\) .*; about \d+ s left")
            with open(stem + "-summary.csv", newline="") as f:
                return read_csv(stem + ".csv", setting), list(csv.DictReader(f))

    def assertSeedsDiffer(self, runs):
        seeds = [run.seed for run in runs]
        self.assertEqual(len(set(seeds)), len(seeds), seeds)


class Still(ExperimentTest):
    """moblings reports its twelve creatures when its window closes; the same second
    makes the same creatures."""

    def reported(self, seed):
        """The creatures of a run at the Unix second `seed`, pinned here as a user would
        pin it: a date in UTC."""
        when = time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(seed))
        env = {"TZ": "UTC", "FAKETIME": when, "FAKETIME_DONT_FAKE_MONOTONIC": "1",
               "LD_PRELOAD": FAKETIME}
        with Program(build_path("moblings"), env=env) as p:
            p.wait_window()
            p.screenshot_when(lambda img: bool(pictures.components(img)))
            p.close_window()
            status, out = p.wait()
        self.assertEqual(status, 0, out)
        return programs.describe("moblings").report(out[len("spawning!\n" * 12):])

    def test_every_frame_measures_the_creatures_its_seed_makes(self):
        runs, _, _ = self.experiment(build_path("moblings"), "3", "1")
        self.assertEqual(len(runs), 3)
        self.assertSeedsDiffer(runs)
        for run in runs:
            creatures = self.reported(run.seed)
            inside = sum(0 < x < 800 and 0 < y < 600 for x, y, _ in creatures)
            distance = sum(math.hypot(x, y) for x, y, _ in creatures) / 12
            for k, (ins, out, dist, from_start, step) in enumerate(run.rows):
                what = "seed %d, frame %d" % (run.seed, k)
                self.assertEqual((int(ins), int(out)), (inside, 12 - inside), what)
                self.assertTrue(math.isclose(float(dist), distance, rel_tol=1e-12), what)
                self.assertEqual((float(from_start), step), (0, "0.0" if k else ""), what)


class Fenced(ExperimentTest):
    """The README's command at a small size. A creature of moblings_fenced that leaves the
    field never comes back, and the same second makes the same run."""

    def test_none_comes_back_and_the_same_seconds_repeat_the_runs(self):
        path = build_path("moblings_fenced")
        runs, kind, size = self.experiment(path, "3", "2")
        self.assertEqual((kind, len(runs)), ("PNG", 3))
        self.assertGreater(min(size), 400)
        self.assertSeedsDiffer(runs)
        self.assertNotEqual(runs[0].rows[0], runs[1].rows[0], "two seeds, the same creatures")
        for run in runs:
            outside = [int(row[1]) for row in run.rows]
            self.assertEqual({int(row[0]) + n for row, n in zip(run.rows, outside)}, {20})
            self.assertEqual(outside, sorted(outside), "seed %d: one came back" % run.seed)
        # The last two runs again, from the second of the first of them.
        again, _, _ = self.experiment("--seed", str(runs[1].seed), path, "2", "1")
        self.assertEqual([run.seed for run in again], [run.seed for run in runs[1:]])
        for before, after in zip(runs[1:], again):
            both = min(len(before.rows), len(after.rows))
            self.assertEqual(after.rows[:both], before.rows[:both], "seed %d" % after.seed)


class Straight(ExperimentTest):
    """A sweep builds the variant it names, with the settings given beside it:
    moblings_fenced's creatures that never turn walk one unit step a frame in a straight
    line, as many frames as asked for."""

    def test_creatures_that_never_turn_are_a_unit_further_from_their_start_each_frame(self):
        runs, summary = self.experiment("--set", "TurnChance=0", "--frames", "40", "--vary",
                                        "Population=3", build_path("moblings_fenced"), "2",
                                        setting="Population")
        self.assertEqual(list(runs), ["3"])
        for run in runs["3"]:
            self.assertEqual(len(run.rows), 40)
            for k, row in enumerate(run.rows):
                self.assertEqual(int(row[0]) + int(row[1]), 3)
                # Each step rounds a coordinate, below 2048 units, to a float: half of 2^-13.
                self.assertAlmostEqual(float(row[3]), k, delta=1e-4 * k,
                                       msg="seed %d, frame %d" % (run.seed, k))
        frame = int(summary[3]["frame"])
        self.assertEqual((summary[3]["measure"], frame), ("mean_from_start", 39))
        self.assertAlmostEqual(float(summary[3]["median"]), frame, delta=1e-4 * frame)


class Populations(ExperimentTest):
    """Each value is a build of its own, run with the same seeds as every other value, and
    none of it is written into the checkout."""

    def test_each_value_counts_its_creatures_from_the_same_seeds_outside_the_checkout(self):
        status = ["git", "-C", test_tools.ROOT, "status", "--porcelain", "--untracked-files=all"]
        if subprocess.run(status, capture_output=True).returncode != 0:
            self.skipTest("not a git checkout")
        before = subprocess.run(status, capture_output=True, text=True, check=True).stdout
        runs, summary = self.experiment("--seed", "1767225600", "--vary", "Population=1,7",
                                        build_path("moblings_fenced"), "2", "1",
                                        setting="Population")
        after = subprocess.run(status, capture_output=True, text=True, check=True).stdout
        self.assertEqual(after, before, "the sweep changed the checkout")
        self.assertEqual(list(runs), ["1", "7"])
        for value, of_value in runs.items():
            self.assertEqual([run.seed for run in of_value], [1767225600, 1767225601], value)
            for run in of_value:
                self.assertEqual({int(row[0]) + int(row[1]) for row in run.rows}, {int(value)},
                                 "Population=%s, seed %d" % (value, run.seed))
        self.assertEqual([(row["Population"], row["measure"]) for row in summary],
                         [(value, measure) for value in "17" for measure in HEADER[4:]])


class Undrawn(ExperimentTest):
    """A run of frames is recorded from beneath the program, undrawn: it must give the
    very places, projection and tables that tracing it as it draws gives, every float to
    the bit, for a timed program with a step and for an untimed one; and a table of every
    third frame is the full table's rows of those frames."""

    SEED = 1767225600
    FRAMES = 40

    def table(self, folder, name, description, run, step, every=1):
        """The experiment's table of `run` alone, as bytes."""
        job = experiment.Job(0, 1, self.SEED, None, description, "")
        path = os.path.join(folder, name + ".csv")
        experiment.write_csv([experiment.Group(None, description, [
            experiment.measured(job, run, every)])], path, step)
        with open(path, "rb") as f:
            return f.read()

    def test_the_recording_holds_what_the_trace_holds(self):
        tools = os.path.join(os.path.dirname(build_path("moblings")), "bench")
        # The spinning creatures are turned: a rotation is read as well.
        for name, step in (("moblings_timed", 16), ("moblings_fenced", None),
                           ("moblings_spin", None)):
            with self.subTest(name), tempfile.TemporaryDirectory() as folder, \
                    traces.x_server() as server:
                program, description = build_path(name), programs.describe(name)
                os.mkdir(os.path.join(folder, "traced"))
                traced = traces.traced_run(program, None, server.display,
                                           os.path.join(folder, "traced"), tools,
                                           env=traces.pinned(self.SEED), frames=self.FRAMES,
                                           step=step)
                recorded = traces.recorded_run(program, server.display, folder, tools,
                                               self.FRAMES, env=traces.pinned(self.SEED),
                                               step=step)
                self.assertEqual(len(recorded.frames), self.FRAMES)
                self.assertEqual(recorded.frames, traced.frames)
                self.assertEqual((recorded.projection, recorded.window, recorded.output),
                                 (traced.projection, traced.window, traced.output))
                full = self.table(folder, "traced", description, traced, step)
                self.assertEqual(self.table(folder, "recorded", description, recorded, step),
                                 full)
                lines = full.split(b"\r\n")
                self.assertEqual(self.table(folder, "every", description, recorded, step, 3),
                                 b"\r\n".join(lines[:1] + lines[1:-1:3] + lines[-1:]))


class Failures(ExperimentTest):
    """A program that cannot open its window, as a moblings program says so; a sweep of a
    setting there is not, or of a value it cannot take."""

    def test_a_setting_or_value_that_cannot_be_is_said_before_anything_is_built(self):
        for vary, why in [("Speed=1", r"Speed is not a setting; the settings .* are "
                           r"Population \(int\), DefaultSpeed \(float\), .* Report \(bool\)\n"),
                          ("Population=5,2.5", r"Population=2\.5: .* a fraction"),
                          ("Population=0", r"Population=0: .* a population below 1"),
                          ("TurnChance=0.1,often", r"TurnChance=often: .* not a number"),
                          ("Timed=yes", r"Timed=yes: Timed is a bool, one of true, false")]:
            with self.subTest(vary), tempfile.TemporaryDirectory() as folder:
                done = self.tool("experiment.sh", "--vary", vary, "moblings_fenced", "2", "1",
                                 os.path.join(folder, "out"))
                self.assertEqual(done.returncode, 1, done.stderr)
                self.assertRegex(done.stderr, r"^experiment: error: " + why)
                self.assertNotIn("building", done.stderr)
                self.assertEqual(os.listdir(folder), [])

    def test_a_program_that_cannot_start(self):
        with tempfile.TemporaryDirectory() as folder:
            program = test_tools.windowless(folder, "moblings_fenced")
            done = self.tool("experiment.sh", program, "3", "1", os.path.join(folder, "out"))
            self.assertEqual(done.returncode, 1, done.stderr)
            self.assertRegex(done.stderr, r"error: run \d \(seed \d+\): moblings_fenced did "
                             r"not open its window(.|\n)*error setting video mode")
            self.assertEqual(sorted(os.listdir(folder)), ["moblings_fenced"])


if __name__ == "__main__":
    harness.main()
