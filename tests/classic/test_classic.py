# SPDX-License-Identifier: MIT
"""Checks the check of classic.py: the unpacked library is the classic SDL 1.2.15, a run
on it passes, and a run that loads any other SDL fails. Needs no X server: SDL is loaded
when a program starts, before SDL_Init picks a video driver.

    /usr/bin/python3 test_classic.py LIBDIR PROGRAM
"""

import os
import subprocess
import sys
import shutil
import tempfile
import unittest

import classic
from lab import run as runs

LIBDIR = PROGRAM = None
SHOW_VERSION = """
import ctypes
sdl = ctypes.CDLL("libSDL-1.2.so.0")
sdl.SDL_Linked_Version.restype = ctypes.POINTER(ctypes.c_uint8 * 3)
print("%d.%d.%d" % tuple(sdl.SDL_Linked_Version().contents))
"""
HOLD_SDL = """
import ctypes, sys
ctypes.CDLL("libSDL-1.2.so.0")
print("loaded", flush=True)
sys.stdin.read()
"""


def environment(classic_sdl):
    env = {k: v for k, v in os.environ.items() if k not in ("LD_LIBRARY_PATH", "LD_DEBUG")}
    if classic_sdl:
        classic.use_library_dir(LIBDIR, env)
    return env


class Library(unittest.TestCase):
    def test_the_unpacked_library_is_sdl_1_2_15(self):
        out = subprocess.run([sys.executable, "-c", SHOW_VERSION], env=environment(True),
                             capture_output=True, text=True, timeout=60)
        self.assertEqual(out.stdout, "1.2.15\n", out.stderr)


class LoaderRecord(unittest.TestCase):
    def run_program(self, classic_sdl):
        """Runs the program to its failed start; returns the check's verdict."""
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        env = environment(classic_sdl)
        classic.record_loading(folder, env)
        env["SDL_VIDEODRIVER"] = "nosuchdriver"
        proc = subprocess.Popen([PROGRAM], env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        out, _ = proc.communicate(timeout=120)
        self.assertEqual(proc.returncode, 1, out)
        self.assertIn("Error initializing SDL", out)
        # A failed start writes the same on both libraries; only the record tells them apart.
        self.assertTrue(any(os.path.basename(p).startswith("libSDL-1.2.so")
                            for p in classic.loaded_by_loader(folder, proc.pid)))
        return classic.loader_problem(folder, proc.pid, LIBDIR)

    def test_a_run_on_the_classic_library_passes(self):
        self.assertIsNone(self.run_program(classic_sdl=True))

    def test_a_run_on_the_system_library_fails(self):
        problem = self.run_program(classic_sdl=False)
        self.assertIsNotNone(problem)
        self.assertIn("not only the classic SDL", problem)

    def test_no_record_fails(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        self.assertIn("no record", classic.loader_problem(folder, 12345, LIBDIR))


class Maps(unittest.TestCase):
    def problem_while_held(self, classic_sdl):
        """The check of /proc/PID/maps on a process that holds SDL loaded."""
        with subprocess.Popen([sys.executable, "-c", HOLD_SDL], env=environment(classic_sdl),
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True) as holder:
            # Closing its standard input at the end lets it go.
            self.assertEqual(holder.stdout.readline(), "loaded\n")
            return classic.maps_problem(holder.pid, LIBDIR)

    def test_the_classic_library_passes(self):
        self.assertIsNone(self.problem_while_held(classic_sdl=True))

    def test_the_system_library_fails(self):
        self.assertIn("not only the classic SDL", self.problem_while_held(classic_sdl=False))


class WatchedHarness(unittest.TestCase):
    """The check as classic.py wires it into the harness's Program."""

    def setUp(self):
        saved = dict(os.environ)
        self.addCleanup(lambda: (os.environ.clear(), os.environ.update(saved)))
        methods = runs.Program.wait_window, runs.Program.close
        self.addCleanup(self.restore, methods)
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        for name in ("LD_LIBRARY_PATH", "LD_DEBUG"):
            os.environ.pop(name, None)
        classic.record_loading(folder)
        classic.watch(LIBDIR, folder)

    def restore(self, methods):
        runs.Program.wait_window, runs.Program.close = methods

    def test_a_run_on_the_classic_library_ends_as_usual(self):
        classic.use_library_dir(LIBDIR)
        status, out = runs.run(PROGRAM, "nosuchdriver")
        self.assertEqual(status, 1)
        self.assertIn("Error initializing SDL", out)

    def test_a_run_on_another_sdl_fails_when_closed(self):
        with self.assertRaisesRegex(AssertionError, "not only the classic SDL"):
            runs.run(PROGRAM, "nosuchdriver")


def main():
    global LIBDIR, PROGRAM
    if len(sys.argv) != 3:
        sys.exit("usage: %s LIBDIR PROGRAM" % sys.argv[0])
    LIBDIR, PROGRAM = (os.path.abspath(a) for a in sys.argv[1:3])
    unittest.main(argv=[sys.argv[0], "-v"])


if __name__ == "__main__":
    main()
