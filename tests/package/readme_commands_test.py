# SPDX-License-Identifier: MIT
"""Runs the commands of the README and the manual (docs/) that no other test or CI runs, on
a machine without a display: scripts/run.sh must print the reference program's output and
save a picture with its creatures in it, scripts/pictures.sh must save a recording and a
trails picture of each program (here of one that moves and of the still one, as the same
loop makes them for all seven), the experiments' and the sweeps' plots must be made (at a
small size), the quick loop of scripts/test.sh must pass, and the long soak must pass at a
size of seconds.

    /usr/bin/python3 readme_commands_test.py SOURCE_DIR BUILD_DIR
"""

import os
import subprocess
import sys
import tempfile
import unittest

from PIL import Image

from lab import pictures

PROGRAMS = ["moblings_herd", "moblings"]


def blue_pixels(path):
    return sum(c.pixels for c in pictures.components(Image.open(path).convert("RGB")))


class ReadmeCommands(unittest.TestCase):
    def run_script(self, *args):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env["MOBLINGS_BUILD_DIR"] = BUILD
        env["SECONDS_TO_SHOW"] = "1"
        return subprocess.run(args, cwd=SOURCE, env=env, capture_output=True, text=True,
                              timeout=600)

    def test_run_without_a_display_shows_a_picture(self):
        done = self.run_script("scripts/run.sh")
        self.assertEqual(done.returncode, 0, done.stderr)
        picture = os.path.join(SOURCE, "out", "moblings_timed.png")
        self.assertEqual(done.stdout,
                         "moved: \n[moblings_timed ended with status 0; its window after 1 s "
                         "is in out/moblings_timed.png]\n")
        self.assertGreater(blue_pixels(picture), 0)

    def test_pictures_of_a_moving_and_the_still_program(self):
        with tempfile.TemporaryDirectory() as folder:
            done = self.run_script("scripts/pictures.sh", folder, *PROGRAMS)
            self.assertEqual(done.returncode, 0, done.stderr)
            for program in PROGRAMS:
                with self.subTest(program):
                    # The static program's frames are all one picture, which WebP keeps once.
                    path = os.path.join(folder, program + ".webp")
                    recording = Image.open(path)
                    self.assertEqual((recording.size, recording.n_frames > 1),
                                     ((800, 600), program != "moblings"))
                    self.assertGreater(blue_pixels(path), 0)
                    trails = Image.open(os.path.join(folder, program + "-trails.png"))
                    self.assertEqual(trails.size[0], 800)


    def test_the_experiments_pictures_at_a_small_size(self):
        with tempfile.TemporaryDirectory() as folder:
            done = self.run_script("env", "EXPERIMENT_RUNS=2", "EXPERIMENT_FRAMES=30",
                                   "scripts/experiments-pictures.sh", folder)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(sorted(os.listdir(folder)),
                             ["experiment-%s.png" % name for name in ("fenced", "herd", "solo")]
                             + ["sweep-%s.png" % name for name in ("fenced-population",
                                                                   "herd-turns")])

    def test_the_quick_loop(self):
        done = self.run_script("scripts/test.sh", "--quick")
        self.assertEqual(done.returncode, 0, done.stdout[-4000:] + done.stderr[-4000:])
        self.assertRegex(done.stdout, r"\n100% tests passed, 0 tests failed out of \d+\n")

    def test_the_long_soak_for_a_few_seconds(self):
        done = self.run_script("/usr/bin/python3", "scripts/soak.py", "0.05", "--build", BUILD,
                               "--programs", "moblings_timed")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertRegex(done.stdout, r"\nmoblings_timed .* \+0 B .* in [\d.]+ s\n")
        self.assertIn("\nmoblings_timed: passed\n", done.stdout)


if __name__ == "__main__":
    SOURCE, BUILD = (os.path.abspath(a) for a in sys.argv[1:3])
    unittest.main(argv=sys.argv[:1])
