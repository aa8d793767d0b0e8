# SPDX-License-Identifier: MIT
"""Tests of the tools that watch a program from outside: scripts/record.sh,
scripts/trails.sh and scripts/watch.sh, which does the work of both. Each starts
a private X server of its own, so these need none.

    /usr/bin/python3 test_tools.py BUILD/moblings [TestClass]

The programs come from the build folder of the one given. Every run of a tool
must leave nothing running: each gets a mark in its environment, which every
process it starts inherits, and no process may still carry it afterwards.
"""

import csv
import math
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import uuid

from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402
from lab import pictures

MARK = "MOBLINGS_TOOLS_TEST"
DREW = re.compile(r"it drew (\d+) frames in [\d.]+ s from the first to the last: ([\d.]+) a second")
KEPT = re.compile(r"every (\d+) frames")
REPORT = re.compile(r"PosX is (-?\d+)\nPosY is (-?\d+)\nRotation value is (\S+)\n")


def build_path(name):
    return os.path.join(os.path.dirname(harness.program_path()), name)


def left_running(mark):
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if mark in f.read().split(b"\0"):
                    with open("/proc/%s/cmdline" % pid, "rb") as c:
                        found.append((pid, c.read().replace(b"\0", b" ").decode()))
        except OSError:
            continue  # gone meanwhile, or not ours to read
    return found


def single(text):
    """The single-precision float a CSV's text stands for."""
    return struct.unpack("f", struct.pack("f", float(text)))[0]


def read_csv(path):
    """The frames of a trails CSV: [[(x, y, rotation or None), ...], ...], after
    checking that frames and creatures count up from 0 in order."""
    with open(path, newline="") as f:
        rows = list(csv.reader(f))
    assert rows[0] == ["frame", "creature", "x", "y", "rotation"], rows[0]
    frames = []
    for frame, creature, x, y, rotation in rows[1:]:
        if creature == "0":
            frames.append([])
        assert (int(frame), int(creature)) == (len(frames) - 1, len(frames[-1])), (frame, creature)
        frames[-1].append((single(x), single(y), single(rotation) if rotation else None))
    return frames


class ToolTest(unittest.TestCase):
    def tool(self, script, *args):
        """Runs scripts/<script> without a display; returns what it did."""
        mark = "%s=%s" % (MARK, uuid.uuid4().hex)
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env["MOBLINGS_BUILD_DIR"] = os.path.dirname(harness.program_path())
        env[MARK] = mark.split("=", 1)[1]
        done = subprocess.run([os.path.join(ROOT, "scripts", script), *args], env=env,
                              capture_output=True, text=True, timeout=240)
        self.assertEqual(left_running(mark.encode()), [], "left running by " + script)
        return done

    def figures(self, done):
        """What the tool measured: (frames drawn, frames a second, keeping every how many)."""
        self.assertEqual(done.returncode, 0, done.stderr)
        drew, kept = DREW.search(done.stderr), KEPT.search(done.stderr)
        self.assertTrue(drew and kept, done.stderr)
        return int(drew[1]), float(drew[2]), int(kept[1])

    def assertPlays(self, path, frames, rate, step, projection):
        """The animation at `path` shows, looping, every step-th of `frames` (each a
        list of (x, y, rotation or None)), as the program would have drawn them, each
        for as long as the program took to draw `step` frames.

        A format may fold a frame that repeats the one before into it, so a frame
        is matched to the program's by the time at which it is shown."""
        img = Image.open(path)
        self.assertEqual(img.info.get("loop"), 0, "does not loop")
        ms = 0
        for i in range(img.n_frames):
            img.seek(i)
            img.load()
            k = round(ms / 1000 * rate / step) * step
            self.assertLess(k, len(frames), "frame %d of %s is shown too late" % (i, path))
            self.assertShows(img, frames[k], projection,
                             "frame %d of %s, at %d ms: the program's frame %d" % (i, path, ms, k))
            ms += img.info["duration"]
        self.assertEqual(round(ms / 1000 * rate / step), -(-len(frames) // step),
                         "%s does not keep every %d of %d frames" % (path, step, len(frames)))
        self.assertAlmostEqual(ms / 1000, len(frames) / rate, delta=0.1 * len(frames) / rate)

    def assertShows(self, img, creatures, projection, what):
        img = img.convert("RGB")
        self.assertEqual(pictures.stray_pixels(img), [], what + ": not only black and blue")
        self.assertEqual(pictures.misdrawn(img, creatures, projection), ([], []),
                         what + ": (creatures' pixels not drawn, blue where none is)")


class Recording(ToolTest):
    """moblings_solo writes one line in every frame it draws: a count of its own."""

    def test_the_recordings_are_the_programs_frames_at_its_speed(self):
        with tempfile.TemporaryDirectory() as folder:
            files = [os.path.join(folder, "run.webp"), os.path.join(folder, "run.gif")]
            positions = os.path.join(folder, "run.csv")
            done = self.tool("watch.sh", build_path("moblings_solo"), "1.5",
                             "--record", files[0], "--record", files[1], "--csv", positions)
            drawn, rate, step = self.figures(done)
            cues = [line for line in done.stdout.splitlines() if line.startswith("random move cue")]
            self.assertEqual(drawn, len(cues))
            frames = read_csv(positions)
            self.assertEqual(len(frames), len(cues), "frames in the CSV")
            self.assertEqual({len(f) for f in frames}, {1})
            self.assertTrue(step == 1 or rate / step >= 25, "fewer than 25 kept a second")
            for path in files:
                with self.subTest(path):
                    self.assertPlays(path, frames, rate, step, pictures.CENTRED)


class Static(ToolTest):
    """moblings reports its twelve creatures when its window closes."""

    def reported(self, done):
        self.assertEqual(done.returncode, 0, done.stderr)
        text = done.stdout
        self.assertTrue(text.startswith("spawning!\n" * 12), text)
        creatures = REPORT.findall(text[len("spawning!\n" * 12):])
        self.assertEqual(len(creatures), 12, text)
        return [(float(x), float(y), rotation) for x, y, rotation in creatures]

    def drawn(self, creatures):
        """The reported creatures as the program draws them."""
        return [(x, y, float(rotation)) for x, y, rotation in creatures]

    def test_trails_hold_the_reported_creatures_unchanged_in_every_frame(self):
        with tempfile.TemporaryDirectory() as folder:
            stem = os.path.join(folder, "static")
            done = self.tool("trails.sh", build_path("moblings"), "1", stem)
            creatures = self.reported(done)
            frames = read_csv(stem + ".csv")
            self.assertGreater(len(frames), 1)
            for k, frame in enumerate(frames):
                # The report writes each rotation as the stream's default: six digits.
                self.assertEqual([(x, y, "%g" % r) for x, y, r in frame], creatures,
                                 "frame %d" % k)
            # Each creature stands where its path starts and ends, marked on the picture.
            picture = Image.open(stem + ".png").convert("RGB")
            for x, y, _ in creatures:
                c, r = pictures.CENTRED.to_image(x, y)
                self.assertNotEqual(picture.getpixel((int(c), int(r))), (0, 0, 0), (x, y))

    def test_recording_shows_the_reported_creatures(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "static.gif")
            done = self.tool("record.sh", build_path("moblings"), "1", path)
            drawn, rate, step = self.figures(done)
            self.assertPlays(path, [self.drawn(self.reported(done))] * drawn, rate, step,
                             pictures.CENTRED)


class Timed(ToolTest):
    """A timed creature outside the field steers straight at its centre."""

    def test_a_creature_outside_the_field_never_gets_farther_from_the_centre(self):
        with tempfile.TemporaryDirectory() as folder:
            stem = os.path.join(folder, "herd")
            done = self.tool("trails.sh", build_path("moblings_herd"), "3", stem)
            self.assertEqual(done.returncode, 0, done.stderr)
            frames = read_csv(stem + ".csv")
        self.assertEqual({len(f) for f in frames}, {50})
        self.assertEqual({r for f in frames for _, _, r in f}, {None}, "drawn unturned")

        def dist(x, y):
            return math.hypot(x - 400, y - 300)

        checked = 0
        for k, (before, after) in enumerate(zip(frames, frames[1:])):
            # At a tenth of a unit a millisecond, a step of 100 units is a frame of a
            # second: a long frame, which may carry a creature past the centre.
            if max(math.hypot(b[0] - a[0], b[1] - a[1]) for a, b in zip(before, after)) > 100:
                continue
            for i, ((x0, y0, _), (x1, y1, _)) in enumerate(zip(before, after)):
                if not (0 < x0 < 800 and 0 < y0 < 600):
                    checked += 1
                    self.assertLessEqual(dist(x1, y1), dist(x0, y0) + 1e-3,
                                         "creature %d from frame %d to %d" % (i, k, k + 1))
        # Fifty creatures that walk 300 units nearly straight: many reach the border.
        self.assertGreater(checked, 0, "no creature was ever outside the field")


class Seeded(ToolTest):
    """--seed stops the program's wall clock at a second, which srand takes as the seed,
    --step moves its frame clock on by so many milliseconds a frame and --frames ends the
    run after so many: the timed moblings_herd then writes the same table byte for byte,
    however busy the machine, every step 16 ms of its speed long, and another second
    places its creatures elsewhere."""

    # The command of docs/watching.md's "Runs that repeat on any machine".
    SEED = 1767225602
    FRAMES = 600

    def table(self, folder, name, script, seed):
        """The CSV, as bytes, of a run that `script` traced at the second `seed`."""
        stem = os.path.join(folder, name)
        outputs = ["--csv", stem + ".csv"] if script == "watch.sh" else [stem]
        done = self.tool(script, "--seed", str(seed), "--step", "16", "--frames",
                         str(self.FRAMES), build_path("moblings_herd"), *outputs)
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(stem + ".csv", "rb") as f:
            return f.read()

    def test_the_same_command_writes_the_same_table_under_load_and_another_second_another(self):
        with tempfile.TemporaryDirectory() as folder:
            first = self.table(folder, "first", "trails.sh", self.SEED)
            # Both cores kept busy: a run timed by the machine would draw other steps.
            loops = [subprocess.Popen(["sh", "-c", "while :; do :; done"]) for _ in range(2)]
            try:
                again = self.table(folder, "again", "watch.sh", self.SEED)
            finally:
                for loop in loops:
                    loop.kill()
                    loop.wait()
            other = self.table(folder, "other", "trails.sh", self.SEED + 1)
            frames = read_csv(os.path.join(folder, "first.csv"))
        # Not assertEqual on the tables: its diff of thousands of lines takes minutes.
        lines = zip(first.splitlines(), again.splitlines())
        differ = next((k for k, (a, b) in enumerate(lines) if a != b), None)
        self.assertIsNone(differ, "the same command, another line %s" % differ)
        self.assertEqual(len(first), len(again))
        self.assertEqual(len(frames), self.FRAMES)
        # The first pass reads no time gone; each after it, 16 ms at 0.1 units a millisecond.
        for k, (before, after) in enumerate(zip(frames, frames[1:])):
            steps = {round(math.hypot(b[0] - a[0], b[1] - a[1]), 3)
                     for a, b in zip(before, after)}
            self.assertEqual(steps, {1.6}, "the steps from frame %d" % k)
        self.assertNotEqual(other.splitlines()[1], first.splitlines()[1],
                            "two seeds, the same places")


def windowless(folder, name):
    """A stand-in program in `folder` that cannot open its window, and says so as a
    moblings program does."""
    program = os.path.join(folder, name)
    with open(program, "w") as f:
        f.write("#!/bin/sh\necho 'error setting video mode'\necho 'Error initializing SDL'\n"
                "exit 1\n")
    os.chmod(program, 0o755)
    return program


class Failures(ToolTest):
    """A program that cannot open its window, as a moblings program says so."""

    def test_each_tool_fails_cleanly(self):
        with tempfile.TemporaryDirectory() as folder:
            program = windowless(folder, "moblings_windowless")
            for script, stem, outputs in (("record.sh", "run.gif", ["run.gif"]),
                                          ("trails.sh", "run", ["run.csv", "run.png"])):
                with self.subTest(script):
                    done = self.tool(script, program, "2", os.path.join(folder, stem))
                    self.assertEqual(done.returncode, 1, done.stderr)
                    self.assertIn("error: moblings_windowless did not open its window", done.stderr)
                    self.assertIn("error setting video mode", done.stderr)
                    for name in outputs:
                        self.assertFalse(os.path.exists(os.path.join(folder, name)), name)

    def test_a_seed_srand_cannot_take_or_none_at_all_is_refused(self):
        with tempfile.TemporaryDirectory() as folder:
            run = [windowless(folder, "moblings_windowless"), "1", os.path.join(folder, "run")]
            wrong = "error: the seed must lie between 0 and 4294967295"
            step = "error: the step (--step) in milliseconds must be a whole number from 1 to 1000"
            frames = "error: the number of frames (--frames) must be a whole number from 1 up"
            for script, args, status, said in (
                    ("record.sh", ["--seed", "4294967296"] + run, 1, wrong),
                    ("trails.sh", ["--seed", "-1"] + run, 1, wrong),
                    ("trails.sh", ["--seed", "1.5"] + run, 2, "invalid int value: '1.5'"),
                    ("record.sh", ["--seed"], 2, "usage: scripts/record.sh [--seed SECOND]"),
                    ("trails.sh", ["--step", "0"] + run, 1, step + ", not '0'"),
                    ("record.sh", ["--step", "16.5"] + run, 1, step + ", not '16.5'"),
                    ("experiment.sh", ["--step", "1001"] + run, 1, step + ", not '1001'"),
                    ("trails.sh", ["--frames", "0", run[0], run[2]], 1, frames + ", not '0'"),
                    ("experiment.sh", ["--frames", "ten"] + run, 1, frames + ", not 'ten'"),
                    ("experiment.sh", ["--every", "0"] + run, 1, "error: the measuring "
                     "interval (--every) must be a whole number from 1 up, not '0'")):
                with self.subTest(" ".join([script] + args[:2])):
                    done = self.tool(script, *args)
                    self.assertEqual(done.returncode, status, done.stderr)
                    self.assertIn(said, done.stderr)
                    self.assertEqual(sorted(os.listdir(folder)), ["moblings_windowless"])


if __name__ == "__main__":
    harness.main()
