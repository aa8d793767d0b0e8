# SPDX-License-Identifier: MIT
"""Tests of the benchmarks' tools: the preloaded frame counter, run in front of a
stand-in SDL whose swaps are known; how framerate.py reads and sums up what the counter
wrote and sets each program beside its own limit; how simulation_report.py reads Google Benchmark's results. Nothing here times
anything.

    /usr/bin/python3 bench/test_bench_tools.py LIBSWAPCOUNT.so SWAP_DRIVER
"""

import os
import subprocess
import sys
import tempfile
import time
import unittest

import framerate
import simulation_report
from lab import traces

SWAPCOUNT = None
DRIVER = None


def drive(swaps, sleep_ms, busy_ms, *more):
    """Runs the driver with the counter preloaded; returns (its output, the counter's
    lines by pid, the CLOCK_MONOTONIC time just before it started)."""
    with tempfile.TemporaryDirectory() as tmp:
        counts = os.path.join(tmp, "counts")
        env = dict(os.environ, LD_PRELOAD=SWAPCOUNT, SWAPCOUNT_FILE=counts)
        started = time.monotonic_ns()
        args = [DRIVER, str(swaps), str(sleep_ms), str(busy_ms), *more]
        done = subprocess.run(args, env=env, capture_output=True,
                              text=True, timeout=30, check=True)
        with open(counts) as f:
            text = f.read()
    fields = dict(w.split("=") for w in done.stdout.split())
    return {k: int(v) for k, v in fields.items()}, traces.parse_records(text), started


class Counter(unittest.TestCase):
    def test_counts_every_swap_and_passes_each_on(self):
        out, records, started = drive(250, 0, 0)
        self.assertEqual(out["forwarded"], 250)
        self.assertEqual(len(records), 1)
        (record,) = records.values()
        self.assertEqual(record.swaps, 250)
        self.assertGreaterEqual(record.start_ns, started)
        self.assertTrue(record.start_ns <= record.first_ns <= record.last_ns <= record.end_ns,
                        record)
        self.assertLess(record.end_ns, time.monotonic_ns())
        self.assertTrue(0 <= record.cpu_first_ns <= record.cpu_last_ns, record)

    def test_times_the_first_swap_when_it_happens(self):
        # 300 ms asleep before the first swap, 200 ms of work between it and the next.
        _, records, started = drive(3, 300, 200)
        (record,) = records.values()
        self.assertGreaterEqual(record.first_ns - record.start_ns, 300e6)
        self.assertGreaterEqual(record.last_ns - record.first_ns, 200e6)
        run = framerate.measure("driver", record, started, 0)
        self.assertGreaterEqual(run.startup_ms, 300)
        self.assertLess(run.startup_ms, 10000)

    def test_cpu_time_counts_work_not_waiting(self):
        _, records, _ = drive(3, 300, 200)
        (record,) = records.values()
        # Asleep costs nothing: start-up took far less CPU than the 300 ms it lasted.
        self.assertLess(record.cpu_first_ns, 150e6)
        self.assertGreaterEqual(record.cpu_last_ns - record.cpu_first_ns, 200e6)
        run = framerate.measure("driver", record, 0, 0)
        self.assertGreaterEqual(run.cpu_ms, 100)  # 200 ms over two frame intervals

    def test_no_swap_leaves_no_first_frame(self):
        out, records, _ = drive(0, 0, 0)
        self.assertEqual(out["forwarded"], 0)
        (record,) = records.values()
        self.assertEqual((record.swaps, record.first_ns, record.last_ns, record.cpu_first_ns),
                         (0, -1, -1, -1))
        with self.assertRaises(ValueError):
            framerate.measure("driver", record, 0, 0)

    def test_a_helper_process_writes_its_own_line(self):
        # The child inherits the count and swaps once more: had it overwritten the
        # parent's figures, the parent would read 41.
        out, records, _ = drive(40, 0, 0, "fork")
        self.assertEqual(out["forwarded"], 40)
        parent = [pid for pid in records if pid != out["child"]]
        self.assertEqual(len(parent), 1)
        self.assertEqual(records[parent[0]].swaps, 40)
        self.assertEqual(records[out["child"]].swaps, 41)


LINE = ("swapcount pid=%d swaps=%d start_ns=100 first_ns=%d last_ns=%d end_ns=9000000000"
        " cpu_first_ns=10 cpu_last_ns=20\n")


class Reading(unittest.TestCase):
    def test_picks_the_line_of_the_process_asked_for(self):
        text = LINE % (7, 11, 200, 300) + LINE % (8, 5, 400, 500)
        self.assertEqual(traces.record_for(text, 8).swaps, 5)
        self.assertEqual(traces.record_for(text, 7).first_ns, 200)
        with self.assertRaises(ValueError):
            traces.record_for(text, 9)

    def test_a_garbled_line_is_an_error_not_a_zero(self):
        for bad in ("swapcount pid=7 swaps=11\n",
                    (LINE % (7, 11, 2, 3)).replace("swaps=11", "swaps=x"),
                    "something else\n"):
            with self.assertRaises(ValueError, msg=bad):
                traces.parse_records(LINE % (1, 2, 3, 4) + bad)

    def test_rate_counts_the_intervals_between_the_first_and_last_frame(self):
        # 301 frames, the last a second after the first: 300 frames a second; 600 ms of
        # CPU meanwhile, 2 ms a frame.
        record = traces.Record(1, 301, 0, 2_000_000_000, 3_000_000_000, 4_000_000_000,
                                  100_000_000, 700_000_000)
        run = framerate.measure("p", record, 500_000_000, 2048)
        self.assertAlmostEqual(run.fps, 300.0)
        self.assertAlmostEqual(run.cpu_ms, 2.0)
        self.assertAlmostEqual(run.startup_ms, 1500.0)
        self.assertEqual(run.rss_kib, 2048)

    def test_each_program_is_set_against_its_own_limit_runs_around_it(self):
        # The limit drawing what each program draws, the program between two of its runs.
        calls = []

        def run(path, args):
            calls.append((path, list(args)))
            return framerate.Run(path, len(calls), 1.0, 50.0, 40960)

        measured = list(framerate.one_round(["b/moblings_herd", "b/moblings"], "b/limit", run))
        self.assertEqual(calls, [("b/limit", ["50"]), ("b/moblings_herd", []),
                                 ("b/limit", ["50"]),
                                 ("b/limit", ["12", "turned", "centred"]), ("b/moblings", []),
                                 ("b/limit", ["12", "turned", "centred"])])
        self.assertEqual([(name, mine.fps, [r.fps for r in pair])
                          for name, mine, pair in measured],
                         [("moblings_herd", 2, [1, 3]), ("moblings", 5, [4, 6])])

    def test_rows_set_each_program_against_the_mean_of_its_limit_runs(self):
        lim = lambda fps, cpu, ms: framerate.Run("limit", fps, cpu, ms, 40960)
        herd, spin = "moblings_herd", "moblings_spin"
        runs = {herd: [framerate.Run(herd, 855, 1.0, 80.0, 51200)],
                spin: [framerate.Run(spin, 900, 2.0, 90.0, 61440)]}
        limits = {herd: [(lim(1000, 1.0, 10.0), lim(800, 1.2, 20.0))],
                  spin: [(lim(800, 1.2, 30.0), lim(900, 3.0, 40.0))]}
        p, q, limit = framerate.rows(runs, limits)
        self.assertEqual((p.drawing, q.drawing), ("50", "20 turned"))
        self.assertEqual(p.limit_fps, 900)
        self.assertAlmostEqual(p.ratio, 0.95)
        self.assertAlmostEqual(p.cpu_ratio, 1.1)
        self.assertEqual(q.limit_fps, 850)
        self.assertAlmostEqual(q.ratio, 900 / 850)
        self.assertAlmostEqual(q.limit_cpu_ms, 2.1)
        self.assertAlmostEqual(q.cpu_ratio, 1.05)
        self.assertEqual((p.startup_ms, p.rss_mib), (80.0, 50.0))
        # The limit's row: its runs drew different frames, so only what they share.
        self.assertEqual((limit.fps, limit.ratio, limit.startup_ms, limit.rss_mib),
                         (None, None, 25.0, 40.0))
        table = framerate.format_table([p, q, limit], 3, 1)
        self.assertIn("limit, by frame rate: met", table)
        self.assertIn("limit, by CPU time per frame: met", table)
        slow = p._replace(ratio=0.94)
        costly = q._replace(cpu_ratio=0.9)
        table = framerate.format_table([slow, costly, limit], 3, 1)
        self.assertIn("by frame rate: missed by moblings_herd\n", table)
        self.assertIn("by CPU time per frame: missed by moblings_spin", table)
        self.assertNotIn("caution", table)
        busy = [r._replace(elsewhere=0.5) for r in (slow, costly, limit)]
        self.assertIn("caution: other processes kept 50% of the CPUs busy",
                      framerate.format_table(busy, 3, 1))

    def test_several_rounds_give_the_median_of_each(self):
        lim = framerate.Run("limit", 1000, 1.0, 50.0, 40960)
        runs = {"moblings": [framerate.Run("moblings", fps, 1.0, ms, 51200)
                             for fps, ms in ((900, 70.0), (990, 90.0), (500, 80.0))]}
        limits = {"moblings": [(lim, lim)] * 3}
        (p, _) = framerate.rows(runs, limits)
        self.assertEqual((p.fps, p.startup_ms), (900, 80.0))
        self.assertAlmostEqual(p.ratio, 0.9)
        self.assertAlmostEqual(p.ratio_low, 0.5)
        self.assertAlmostEqual(p.ratio_high, 0.99)

    def test_load_elsewhere_is_what_the_machine_did_besides_our_processes(self):
        hz = os.sysconf("SC_CLK_TCK")
        cpus = os.cpu_count()
        # Over 2 s the machine was busy for 1.5 CPU-seconds, 1 of them ours.
        share = framerate.elsewhere_share(1.5 * hz, 0.6 * hz, 0.3 * hz, 0.1 * hz, 2.0)
        self.assertAlmostEqual(share, 0.5 / (2.0 * cpus))
        self.assertEqual(framerate.elsewhere_share(10, 8, 3, 1, 1.0), 0.0)

    def test_cpu_ticks_of_a_process_grow_with_its_work(self):
        before = framerate.process_ticks(os.getpid())
        busy_before = framerate.busy_ticks()
        until = time.process_time() + 0.2
        while time.process_time() < until:
            pass
        hz = os.sysconf("SC_CLK_TCK")
        self.assertGreaterEqual(framerate.process_ticks(os.getpid()) - before, 0.15 * hz)
        self.assertGreaterEqual(framerate.busy_ticks() - busy_before, 0.15 * hz)


def result(name, cpu_time, unit="ns", aggregate=None, **extra):
    """One entry of Google Benchmark's JSON output."""
    entry = {"name": name + ("_" + aggregate if aggregate else ""), "run_name": name,
             "run_type": "aggregate" if aggregate else "iteration", "repetitions": 3,
             "cpu_time": cpu_time, "real_time": cpu_time, "time_unit": unit}
    if aggregate:
        entry["aggregate_name"] = aggregate
    entry.update(extra)
    return entry


class SimulationReport(unittest.TestCase):
    def test_uses_the_median_per_creature_whatever_the_order(self):
        report = {"benchmarks": [
            result("UpdateMoves/50", 900.0, inside=0.5),
            result("UpdateMoves/50", 2000.0, aggregate="median", inside=0.9),
            result("UpdateMoves/50", 7000.0, aggregate="mean"),
            result("UpdateMoves/50", 100.0, aggregate="stddev"),
            result("UpdateMoves/50", 3000.0, inside=0.7),
            result("FloorMoves/1000", 40.0, unit="us"),
        ]}
        got = simulation_report.figures(report)
        self.assertEqual(set(got), {("UpdateMoves", 50), ("FloorMoves", 1000)})
        self.assertAlmostEqual(got[("UpdateMoves", 50)].ns_per_creature, 40.0)
        self.assertEqual(got[("UpdateMoves", 50)].counters, {"inside": 0.9})
        self.assertAlmostEqual(got[("FloorMoves", 1000)].ns_per_creature, 40.0)

    def test_a_failed_benchmark_is_an_error(self):
        report = {"benchmarks": [result("Populate/5", 10.0, error_occurred=True,
                                        error_message="boom")]}
        with self.assertRaises(ValueError):
            simulation_report.figures(report)

    def test_verdict_follows_the_worst_ratio(self):
        F = simulation_report.Figure
        by_lto = {"off": {("Populate", 5): F(70.0, {}), ("FloorPopulate", 5): F(50.0, {}),
                          ("Populate", 50): F(60.0, {}), ("FloorPopulate", 50): F(50.0, {})},
                  "on": {("Populate", 5): F(64.0, {}), ("FloorPopulate", 5): F(50.0, {}),
                         ("Populate", 50): F(55.0, {}), ("FloorPopulate", 50): F(50.0, {})}}
        text = simulation_report.table("p", "timed", "Populate", "FloorPopulate", "x", by_lto)
        self.assertIn("without LTO: within 1.3x of the floor at every size: MISSED (worst 1.40 at 5)",
                      text)
        self.assertIn("with LTO: within 1.3x of the floor at every size: met (worst 1.28 at 5)",
                      text)
        self.assertIn("largest over smallest: 1.17", text)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    SWAPCOUNT, DRIVER = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:])
