# SPDX-License-Identifier: MIT
"""Tests of how memcheck.py reads valgrind's logs and judges a run, on logs cut from real
runs of the programs, and a check that valgrind accepts the suppressions file.

    /usr/bin/python3 test_memcheck.py
"""

import os
import shutil
import subprocess
import tempfile
import unittest

import memcheck

HEADER = """\
==100== Memcheck, a memory error detector
==100== Copyright (C) 2002-2022, and GNU GPL'd, by Julian Seward et al.
==100== Using Valgrind-3.19.0 and LibVEX; rerun with -h for copyright info
==100== Command: /build/moblings_timed
==100== Parent PID: 99
==100== 
"""

CLEAN_END = """\
==100== 
==100== HEAP SUMMARY:
==100==     in use at exit: 313,086 bytes in 3,640 blocks
==100==   total heap usage: 42,205 allocs, 38,565 frees, 500,543,941 bytes allocated
==100== 
==100== LEAK SUMMARY:
==100==    definitely lost: 0 bytes in 0 blocks
==100==    indirectly lost: 0 bytes in 0 blocks
==100==      possibly lost: 0 bytes in 0 blocks
==100==    still reachable: 311,582 bytes in 3,633 blocks
==100==         suppressed: 1,176 bytes in 3 blocks
==100== 
==100== For lists of detected and suppressed errors, rerun with: -s
==100== ERROR SUMMARY: 0 errors from 0 contexts (suppressed: 5 from 5)
"""

LEAK_END = """\
==100== 
==100== HEAP SUMMARY:
==100==     in use at exit: 318,022 bytes in 3,641 blocks
==100==   total heap usage: 42,206 allocs, 38,565 frees, 500,548,897 bytes allocated
==100== 
==100== 4,936 bytes in 1 blocks are definitely lost in loss record 2,287 of 2,296
==100==    at 0x484320F: operator new[](unsigned long) (in /usr/libexec/valgrind/vgpreload_memcheck-amd64-linux.so)
==100==    by 0x10A3BD: main (main.cpp:14)
==100== 
==100== LEAK SUMMARY:
==100==    definitely lost: 4,936 bytes in 1 blocks
==100==    indirectly lost: 328 bytes in 4 blocks
==100==      possibly lost: 0 bytes in 0 blocks
==100==    still reachable: 311,582 bytes in 3,633 blocks
==100==         suppressed: 1,176 bytes in 3 blocks
==100== 
==100== For lists of detected and suppressed errors, rerun with: -s
==100== ERROR SUMMARY: 1 errors from 1 contexts (suppressed: 4 from 4)
"""

INVALID_READ = """\
==100== Invalid read of size 8
==100==    at 0x10A3D1: main (main.cpp:15)
==100==  Address 0x4f19260 is 0 bytes after a block of size 32 alloc'd
==100==    at 0x484320F: operator new[](unsigned long) (in /usr/libexec/valgrind/vgpreload_memcheck-amd64-linux.so)
==100==    by 0x10A3CD: main (main.cpp:14)
==100== 
"""

POSSIBLY_LOST = """\
==100== 80 bytes in 1 blocks are possibly lost in loss record 20 of 30
==100==    at 0x48417B4: malloc (in /usr/libexec/valgrind/vgpreload_memcheck-amd64-linux.so)
==100==    by 0x4E723B6: ??? (in /usr/lib/x86_64-linux-gnu/libGLdispatch.so.0.0.0)
==100==    by 0x4E72641: __glDispatchInit (in /usr/lib/x86_64-linux-gnu/libGLdispatch.so.0.0.0)
==100== 
"""

INDIRECT_RECORD = """\
==100== 112 (56 direct, 56 indirect) bytes in 1 blocks are definitely lost in loss record 2,233 of 2,295
==100==    at 0x48465EF: calloc (in /usr/libexec/valgrind/vgpreload_memcheck-amd64-linux.so)
==100==    by 0x10B5EA: renderer::Draw_All(std::vector<mobling, std::allocator<mobling> >&) (renderer.cpp:36)
==100== 
"""

FD_WARNINGS = """\
==100== Warning: invalid file descriptor 19988 in syscall close()
==100== Warning: invalid file descriptor 19989 in syscall close()
==100==    Use --log-fd=<number> to select an alternative log fd.
==100== 
"""

ALL_FREED = """\
==100== HEAP SUMMARY:
==100==     in use at exit: 0 bytes in 0 blocks
==100==   total heap usage: 1 allocs, 1 frees, 72,704 bytes allocated
==100== 
==100== All heap blocks were freed -- no leaks are possible
==100== 
==100== For lists of detected and suppressed errors, rerun with: -s
==100== ERROR SUMMARY: 0 errors from 0 contexts (suppressed: 0 from 0)
"""


def log(text, pid=100, parent=None):
    """A log of process `pid` (100 by default) made from the pieces above."""
    text = text.replace("==100==", "==%d==" % pid)
    if parent is not None:
        text = text.replace("Parent PID: 99", "Parent PID: %d" % parent)
    return memcheck.Log(text, "memcheck.%d" % pid)


def child(text):
    return log(text, pid=101, parent=100)


class ReadingOneLog(unittest.TestCase):
    def test_a_clean_run(self):
        clean = log(HEADER + CLEAN_END)
        self.assertEqual((clean.pid, clean.parent), (100, 99))
        self.assertTrue(clean.finished)
        self.assertEqual((clean.errors, clean.definitely_lost, clean.records), (0, 0, []))
        self.assertEqual(clean.problems(100), [])

    def test_a_definite_leak_fails_and_shows_where_it_was_made(self):
        leaky = log(HEADER + LEAK_END)
        self.assertEqual((leaky.errors, leaky.definitely_lost, leaky.leaks), (1, 4936, [(4936, 1)]))
        problems = leaky.problems(100)
        self.assertEqual(len(problems), 2, problems)
        self.assertIn("1 errors, 4936 bytes definitely lost", problems[0])
        self.assertIn("4,936 bytes in 1 blocks are definitely lost", problems[1])
        self.assertIn("by 0x10A3BD: main (main.cpp:14)", problems[1])

    def test_definitely_lost_bytes_fail_even_when_not_counted_as_errors(self):
        # As valgrind writes it when leaks are not counted as errors.
        leaky = log(HEADER + LEAK_END.replace("ERROR SUMMARY: 1 errors",
                                              "ERROR SUMMARY: 0 errors"))
        self.assertEqual((leaky.errors, leaky.definitely_lost), (0, 4936))
        self.assertEqual(len(leaky.problems(100)), 2)

    def test_a_record_with_indirect_blocks_counts_the_direct_bytes(self):
        leaky = log(HEADER + INDIRECT_RECORD + LEAK_END)
        self.assertEqual(leaky.leaks, [(56, 1), (4936, 1)])

    def test_a_memory_error_fails_with_its_stack_and_the_block_it_missed(self):
        bad = log(HEADER + INVALID_READ + CLEAN_END.replace("ERROR SUMMARY: 0 errors",
                                                            "ERROR SUMMARY: 1 errors"))
        self.assertEqual((bad.errors, bad.definitely_lost), (1, 0))
        problems = bad.problems(100)
        self.assertEqual(len(problems), 2, problems)
        self.assertTrue(problems[1].startswith("Invalid read of size 8"), problems[1])
        self.assertIn("0 bytes after a block of size 32", problems[1])

    def test_the_summary_decides_even_without_a_record(self):
        # A forked child inherits its parent's error count but not its printed records.
        inherited = log(HEADER + FD_WARNINGS + CLEAN_END.replace("ERROR SUMMARY: 0 errors",
                                                                 "ERROR SUMMARY: 1 errors"))
        self.assertEqual(inherited.records, [])
        self.assertEqual(len(inherited.problems(100)), 1)

    def test_possibly_lost_blocks_and_warnings_are_no_errors(self):
        quiet = log(HEADER + FD_WARNINGS + POSSIBLY_LOST + CLEAN_END)
        self.assertEqual((quiet.records, quiet.leaks), ([], []))
        self.assertEqual(quiet.problems(100), [])

    def test_all_heap_blocks_freed(self):
        freed = log(HEADER + ALL_FREED)
        self.assertTrue(freed.finished)
        self.assertEqual(freed.problems(100), [])

    def test_the_program_log_must_reach_its_summary(self):
        cut = log(HEADER + INVALID_READ)
        self.assertFalse(cut.finished)
        self.assertIn("no ERROR SUMMARY", cut.problems(100)[0])

    def test_a_child_that_ran_another_program_leaves_only_a_header(self):
        self.assertEqual(child(HEADER).problems(100), [])

    def test_a_child_with_errors_and_no_summary_fails(self):
        self.assertEqual(len(child(HEADER + INVALID_READ).problems(100)), 1)


class JudgingARun(unittest.TestCase):
    def test_every_log_counts(self):
        self.assertEqual(memcheck.verdict([log(HEADER + CLEAN_END), child(HEADER + CLEAN_END)],
                                          100), [])
        problems = memcheck.verdict([log(HEADER + CLEAN_END), child(HEADER + LEAK_END)], 100)
        self.assertIn("forked", problems[0])

    def test_no_log_of_the_program_fails(self):
        self.assertIn("no memcheck log of the program",
                      memcheck.verdict([child(HEADER + CLEAN_END)], 100)[0])
        self.assertIn("no memcheck log of the program", memcheck.verdict([], 100)[0])

    def test_the_planted_leak_alone_passes_when_expected(self):
        planted = [log(HEADER + LEAK_END), child(HEADER + LEAK_END)]
        self.assertNotEqual(memcheck.verdict(planted, 100), [])
        self.assertEqual(memcheck.verdict(planted, 100, expect_leak=4936), [])
        self.assertEqual(memcheck.verdict(planted[:1] + [child(HEADER)], 100,
                                          expect_leak=4936), [])

    def test_an_expected_leak_that_is_missing_or_not_alone_fails(self):
        runs = {
            "nothing reported": [log(HEADER + CLEAN_END)],
            "another size": [log(HEADER + LEAK_END)],
            "one more leak": [log(HEADER + INDIRECT_RECORD + LEAK_END.replace(
                "ERROR SUMMARY: 1 errors", "ERROR SUMMARY: 2 errors"))],
            "and an error": [log(HEADER + INVALID_READ + LEAK_END.replace(
                "ERROR SUMMARY: 1 errors", "ERROR SUMMARY: 2 errors"))],
            "a child with a leak of its own": [log(HEADER + LEAK_END),
                                               child(HEADER + INDIRECT_RECORD + LEAK_END)],
            "cut short": [log(HEADER + LEAK_END.split("LEAK SUMMARY")[0])],
        }
        for what, logs in runs.items():
            expected = 1000 if what == "another size" else 4936
            self.assertNotEqual(memcheck.verdict(logs, 100, expect_leak=expected), [], what)


class TheValgrindRun(unittest.TestCase):
    def test_options(self):
        cmd = memcheck.valgrind_command("valgrind", "/b/prog", "/s/x.supp", "/logs")
        self.assertEqual((cmd[0], cmd[-1]), ("valgrind", "/b/prog"))
        for option in ("--leak-check=full", "--errors-for-leak-kinds=definite",
                       "--keep-debuginfo=yes", "--suppressions=/s/x.supp",
                       "--log-file=/logs/memcheck.%p"):
            self.assertIn(option, cmd)

    def test_reading_logs_from_a_folder(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        for pid, text in ((100, HEADER + CLEAN_END), (101, HEADER)):
            with open(os.path.join(folder, "memcheck.%d" % pid), "w") as f:
                f.write(text.replace("==100==", "==%d==" % pid))
        with open(os.path.join(folder, "unrelated.txt"), "w") as f:
            f.write("==5== ERROR SUMMARY: 3 errors from 3 contexts\n")
        self.assertEqual([(x.pid, x.finished) for x in memcheck.read_logs(folder)],
                         [(100, True), (101, False)])

    def test_valgrind_accepts_the_suppressions(self):
        valgrind = shutil.which("valgrind")
        if not valgrind:
            self.fail("valgrind is not installed")
        supp = os.path.join(os.path.dirname(os.path.abspath(__file__)), "mesa-x11-sdl.supp")
        run = subprocess.run([valgrind, "-v", "--suppressions=" + supp, "/bin/true"],
                             capture_output=True, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertNotIn("FATAL", run.stderr)
        # -v lists each suppression file it read; a bad entry stops valgrind before that.
        self.assertIn("Reading suppressions file: " + supp, run.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
