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
import tempfile
import time
from collections import namedtuple

from PIL import Image

import test_tools
from test_tools import build_path, harness
from lab import pictures, programs
from lab.run import FAKETIME, Program

HEADER = ["run", "seed", "frame", "inside", "outside", "mean_distance", "mean_from_start",
          "mean_step"]

Run = namedtuple("Run", "seed rows")  # rows: the measures of each frame, as written


def read_csv(path):
    """The runs of an experiment's CSV, in order, after checking that runs count up from 1
    and each run's frames from 0, under one seed."""
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    assert rows[0] == HEADER, rows[0]
    runs = []
    for run, seed, frame, *measures in rows[1:]:
        if frame == "0":
            runs.append(Run(int(seed), []))
        assert (int(run), int(frame)) == (len(runs), len(runs[-1].rows)), (run, frame)
        assert int(seed) == runs[-1].seed, (run, seed)
        runs[-1].rows.append(measures)
    return runs


class ExperimentTest(test_tools.ToolTest):
    def experiment(self, *args):
        """Runs the tool; its runs and its picture's size."""
        with tempfile.TemporaryDirectory() as folder:
            stem = os.path.join(folder, "experiment")
            done = self.tool("experiment.sh", *args, stem)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertRegex(done.stderr, r"\d+ of \d+ runs done, \d+ left .* about \d+ s left")
            with Image.open(stem + ".png") as picture:
                return read_csv(stem + ".csv"), picture.format, picture.size

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


class Failures(ExperimentTest):
    """A program that cannot open its window, as a moblings program says so."""

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
