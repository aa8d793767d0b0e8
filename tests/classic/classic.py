# SPDX-License-Identifier: MIT
"""Runs a program's end-to-end test file against the classic SDL 1.2 (1.2.15) instead of
the system's, and makes sure that the classic library is the one every run loaded: a
run that picked up another SDL fails its test, which would otherwise prove nothing.

    /usr/bin/python3 classic.py LIBDIR path/to/test_timed.py path/to/moblings_timed [TestClass...]

LIBDIR holds the classic libSDL-1.2.so.0 (see fetch_classic_sdl.sh). It goes first on
LD_LIBRARY_PATH; the rest of the environment (a sanitizer build's LD_PRELOAD and options)
is kept.
"""

import atexit
import os
import shutil
import sys
import tempfile
import types
import unittest

from lab.run import Program

SDL_SONAME = "libSDL-1.2.so"


def use_library_dir(libdir, environ=os.environ):
    """Puts `libdir` first on the loader's search path of the programs started from here."""
    rest = environ.get("LD_LIBRARY_PATH")
    environ["LD_LIBRARY_PATH"] = libdir + (":" + rest if rest else "")


def record_loading(folder, environ=os.environ):
    """Has the dynamic loader of every program started from here write the libraries it
    loads to `folder`/ld.<pid>; the programs' own output stays as it is."""
    environ["LD_DEBUG"] = "files"
    environ["LD_DEBUG_OUTPUT"] = os.path.join(folder, "ld")


def _inside(path, libdir):
    return os.path.dirname(os.path.realpath(path)) == os.path.realpath(libdir)


def _sdl_problem(paths, libdir, where):
    """Why the libraries at `paths` are not a run on the classic SDL in `libdir`, or None."""
    sdl = [p for p in paths if os.path.basename(p).startswith(SDL_SONAME)]
    sdl2 = [p for p in paths if os.path.basename(p).startswith("libSDL2")]
    if not sdl:
        return "%s: no SDL 1.2 was loaded at all" % where
    # The classic SDL needs no SDL2; sdl12-compat loads it when SDL starts.
    elsewhere = [os.path.realpath(p) for p in sdl if not _inside(p, libdir)]
    elsewhere += [os.path.realpath(p) for p in sdl2]
    if elsewhere:
        return "%s: SDL loaded from %s, not only the classic SDL in %s" % (
            where, ", ".join(sorted(set(elsewhere))), libdir)
    return None


def loaded_by_loader(folder, pid):
    """The libraries the loader initialised in process `pid`, from its LD_DEBUG record;
    None when there is no record."""
    path = os.path.join(folder, "ld.%d" % pid)
    if not os.path.exists(path):
        return None
    marker = "calling init: "
    with open(path, errors="replace") as f:
        return [line.split(marker, 1)[1].strip() for line in f if marker in line]


def loaded_in_maps(pid):
    """The files mapped into a running process."""
    paths = set()
    with open("/proc/%d/maps" % pid) as f:
        for line in f:
            fields = line.split(None, 5)  # address perms offset device inode [path]
            if len(fields) == 6 and fields[5].startswith("/"):
                paths.add(fields[5].strip())
    return sorted(paths)


def loader_problem(folder, pid, libdir):
    paths = loaded_by_loader(folder, pid)
    if paths is None:
        return "pid %d: the loader wrote no record to %s" % (pid, folder)
    return _sdl_problem(paths, libdir, "pid %d (loader record)" % pid)


def maps_problem(pid, libdir):
    return _sdl_problem(loaded_in_maps(pid), libdir, "pid %d (/proc/%d/maps)" % (pid, pid))


def watch(libdir, folder):
    """Makes every run of a program (lab.run.Program) check which SDL it runs on: its
    mapped files once its window shows, and the loader's record when it is closed,
    whatever way it ended."""
    program = Program
    checked = set()
    wait_window, close = program.wait_window, program.close

    def checked_wait_window(self, *args, **kwargs):
        window = wait_window(self, *args, **kwargs)
        problem = maps_problem(self.proc.pid, libdir)
        if problem:
            raise AssertionError(problem)
        return window

    def checked_close(self):
        close(self)
        if self.proc.pid in checked:
            return
        checked.add(self.proc.pid)
        problem = loader_problem(folder, self.proc.pid, libdir)
        if problem:
            raise AssertionError(problem)

    program.wait_window = checked_wait_window
    program.close = checked_close


def main(argv):
    if len(argv) < 4:
        sys.exit("usage: %s LIBDIR TESTFILE PROGRAM [TestClass...]" % argv[0])
    libdir, test_file, program = (os.path.abspath(a) for a in argv[1:4])
    if not os.path.exists(os.path.join(libdir, SDL_SONAME + ".0")):
        sys.exit("no %s.0 in %s: run fetch_classic_sdl.sh first" % (SDL_SONAME, libdir))
    if not os.access(program, os.X_OK):
        sys.exit("not an executable program: %s" % program)

    use_library_dir(libdir)
    folder = tempfile.mkdtemp(prefix="classic-ld-")
    atexit.register(shutil.rmtree, folder, ignore_errors=True)
    record_loading(folder)
    # The test file's own folder holds the harness it imports.
    sys.path.insert(0, os.path.dirname(test_file))
    watch(libdir, folder)
    os.environ["E2E_PROGRAM"] = program

    # Imported under its own name, not as __main__: its `harness.main()` stays unrun.
    name = os.path.splitext(os.path.basename(test_file))[0]
    module = types.ModuleType(name)
    module.__file__ = test_file
    sys.modules[name] = module
    with open(test_file) as f:
        exec(compile(f.read(), test_file, "exec"), module.__dict__)
    unittest.main(module=module, argv=[test_file, "-v", *argv[4:]])


if __name__ == "__main__":
    main(sys.argv)
