# SPDX-License-Identifier: MIT
"""Runs one program under valgrind's memcheck in the end-to-end X server, the way a user
runs it: wait for its window and its first frames, let it run, close the window. Fails on
any memory error or definitely lost block, in the program or in any process it forks
(sdl12-compat's SDL2 forks one), and prints the offending records.

    /usr/bin/python3 memcheck.py PROGRAM [--logs DIR] [--expect-leak BYTES] [--env NAME=VALUE]

--expect-leak BYTES inverts the verdict for a program with a leak planted on purpose: it
passes only when that one leak, and nothing else, is reported.

The libraries' own leaks and errors are suppressed by mesa-x11-sdl.supp beside this file.
"""

import argparse
import glob
import os
import re
import shutil
import sys
import tempfile
import time

from lab import pictures
from lab import run as runs

_HERE = os.path.dirname(os.path.abspath(__file__))

WINDOW_TIMEOUT = 120.0  # s: valgrind starts a program tens of times slower than usual
EXIT_TIMEOUT = 300.0    # s: the leak check at exit scans the whole heap
RUN_TIME = 1.0          # s of frames under memcheck before the window is closed

_PREFIX = re.compile(r"^==(\d+)== ?(.*)$")
_ERROR_SUMMARY = re.compile(r"ERROR SUMMARY: ([\d,]+) errors? from")
_DEFINITELY = re.compile(r"^\s*definitely lost: ([\d,]+) bytes in ([\d,]+) blocks")
_LEAK_RECORD = re.compile(r"^([\d,]+)(?: \(([\d,]+) direct, [\d,]+ indirect\))? bytes in "
                          r"([\d,]+) blocks are definitely lost in loss record")
_FRAME = re.compile(r"^\s+(at|by) 0x[0-9A-Fa-f]+: ")


def _number(text):
    return int(text.replace(",", ""))


class Log:
    """What one memcheck log says: the process, its error records and its summaries."""

    def __init__(self, text, path="<log>"):
        self.path = path
        self.pid = None
        self.parent = None
        self.errors = None         # from ERROR SUMMARY; None when the log has none
        self.definitely_lost = 0   # bytes, from LEAK SUMMARY
        self.records = []          # the error and definite-leak records, as lists of lines
        self.leaks = []            # (direct bytes, blocks) of each definite-leak record
        lines = []
        for raw in text.splitlines():
            m = _PREFIX.match(raw)
            if not m:
                continue  # suppression templates and the like, which have no prefix
            self.pid = self.pid or int(m.group(1))
            lines.append(m.group(2))
        for block in _blocks(lines):
            self._read(block)

    def _read(self, block):
        for line in block:
            if line.startswith("Parent PID: "):
                self.parent = int(line.split()[2])
            m = _ERROR_SUMMARY.search(line)
            if m:
                self.errors = _number(m.group(1))
            m = _DEFINITELY.match(line)
            if m:
                self.definitely_lost = _number(m.group(1))
        first = block[0]
        m = _LEAK_RECORD.match(first)
        if m:
            direct = m.group(2) or m.group(1)
            self.leaks.append((_number(direct), _number(m.group(3))))
            self.records.append(block)
        elif "lost in loss record" in first or "reachable in loss record" in first:
            pass  # possibly or indirectly lost: not errors here
        elif len(block) > 1 and _FRAME.match(block[1]):
            self.records.append(block)  # an error: a headline and its stack

    @property
    def finished(self):
        return self.errors is not None

    def problems(self, main_pid):
        """Why this log fails the check, as a list of messages (empty when clean)."""
        if not self.finished:
            if self.pid == main_pid:
                return ["%s: no ERROR SUMMARY: the program or valgrind died before the end"
                        % self.path]
            if self.records:
                return ["%s: a forked process reported errors and never finished" % self.path]
            # A child that went on to exec another program leaves only the log's header:
            # valgrind follows no exec here, and that program is not ours.
            return []
        found = []
        if self.errors or self.definitely_lost:
            found.append("%s (pid %s%s): %d errors, %d bytes definitely lost" % (
                self.path, self.pid, "" if self.pid == main_pid else ", forked",
                self.errors, self.definitely_lost))
            found += ["\n".join(r) for r in self.records]
        return found


def _blocks(lines):
    """Splits a log's lines into the blank-line separated blocks memcheck writes."""
    block = []
    for line in lines:
        if line.strip():
            block.append(line)
        elif block:
            yield block
            block = []
    if block:
        yield block


def read_logs(folder):
    logs = []
    for path in sorted(glob.glob(os.path.join(folder, "memcheck.*"))):
        with open(path, errors="replace") as f:
            logs.append(Log(f.read(), path))
    return logs


def verdict(logs, main_pid, expect_leak=None):
    """The problems that fail the check, given every log of one run; [] means it passed.

    With expect_leak, the program must instead report exactly one definitely lost block
    of that many bytes and nothing else; so must a process it forked after making the
    block, which inherits it."""
    if not any(log.pid == main_pid for log in logs):
        return ["no memcheck log of the program (pid %d) among %d logs"
                % (main_pid, len(logs))]
    problems = [p for log in logs for p in log.problems(main_pid)]
    if expect_leak is None:
        return problems

    def planted_alone(log):
        return (log.errors == 1 and log.leaks == [(expect_leak, 1)]
                and log.definitely_lost == expect_leak)

    if all(planted_alone(log) if log.finished else not log.problems(main_pid)
           for log in logs):
        return []
    return ["expected exactly one definitely lost block of %d bytes and nothing else; "
            "the logs said:" % expect_leak] + (problems or ["no error and no leak"])


def valgrind_command(valgrind, program, suppressions, logs):
    return [valgrind,
            "--tool=memcheck",
            "--leak-check=full",
            # Possibly lost blocks are shown but are no errors: interior pointers into
            # live library state make them by the dozen.
            "--errors-for-leak-kinds=definite",
            # The stacks run 30 to 40 frames deep through Mesa and SDL before they reach
            # our code, and a suppression can only match frames that were recorded.
            "--num-callers=64",
            # SDL_Quit unloads Mesa's driver before the leak check; keep its frames named.
            "--keep-debuginfo=yes",
            "--suppressions=" + suppressions,
            # One log per process: sdl12-compat's SDL2 forks a child.
            "--log-file=" + os.path.join(logs, "memcheck.%p"),
            program]


def has_frame(img):
    return bool(pictures.components(img))


def run(program, logs, suppressions, env, valgrind):
    """Runs the program under memcheck until its window is closed; returns its pid."""
    for old in glob.glob(os.path.join(logs, "memcheck.*")):
        os.remove(old)
    started = time.monotonic()
    p = runs.Program(valgrind, args=valgrind_command(valgrind, program, suppressions, logs)[1:],
                     env={"GALLIUM_DRIVER": "softpipe", **env})
    # The window is the program's, not valgrind's.
    p.name = os.path.basename(program)
    try:
        p.wait_window(WINDOW_TIMEOUT)
        # Frames, not just a window: the drawing code must run under memcheck too.
        p.screenshot_when(has_frame, "its first frame", WINDOW_TIMEOUT)
        shown = time.monotonic()
        time.sleep(RUN_TIME)
        p.close_window()
        status, _ = p.wait(EXIT_TIMEOUT)
        if status != 0:
            raise AssertionError("%s ended with status %s\n%s" % (p.name, status,
                                                                   p.describe()))
        print("%s: first frame after %.1f s, ended %.1f s after the close request"
              % (p.name, shown - started, time.monotonic() - shown - RUN_TIME))
        return p.proc.pid
    finally:
        p.close()


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("program")
    parser.add_argument("--logs", help="folder for the memcheck logs (default: a new "
                                       "temporary folder)")
    parser.add_argument("--suppressions", default=os.path.join(_HERE, "mesa-x11-sdl.supp"))
    parser.add_argument("--expect-leak", type=int, metavar="BYTES")
    parser.add_argument("--env", action="append", default=[], metavar="NAME=VALUE",
                        help="extra environment for the program (e.g. LD_LIBRARY_PATH)")
    parser.add_argument("--valgrind", default=shutil.which("valgrind") or "valgrind")
    args = parser.parse_args(argv)

    program = os.path.abspath(args.program)
    if not os.access(program, os.X_OK):
        sys.exit("not an executable program: %s" % program)
    logs = args.logs or tempfile.mkdtemp(prefix="memcheck-")
    os.makedirs(logs, exist_ok=True)
    env = dict(item.split("=", 1) for item in args.env)
    try:
        pid = run(program, logs, os.path.abspath(args.suppressions), env, args.valgrind)
    except AssertionError as e:
        print("FAILED: %s\nlogs in %s" % (e, logs))
        return 1
    all_logs = read_logs(logs)
    problems = verdict(all_logs, pid, args.expect_leak)
    for log in all_logs:
        print("%s: %s" % (log.path, "ERROR SUMMARY: %d errors, %d bytes definitely lost"
                          % (log.errors, log.definitely_lost) if log.finished
                          else "no summary (forked, then ran another program)"))
    if problems:
        print("FAILED:\n" + "\n\n".join(problems))
        return 1
    print("passed" + (": the planted leak of %d bytes was reported, alone" % args.expect_leak
                      if args.expect_leak is not None else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
