# SPDX-License-Identifier: MIT
"""Frame rate, start-up time and peak memory of the seven programs, each set against
the limit of this machine's SDL and OpenGL: clear_swap, which opens the same window
the same way and then only clears and swaps.

    /usr/bin/python3 bench/framerate.py BUILD_DIR [--seconds S] [--rounds N] [PROGRAM...]

BUILD_DIR holds the programs and bench/clear_swap and bench/libswapcount.so. Every run
gets the end-to-end harness's private Xvfb, shows its window for S seconds with the
frame counter preloaded, and is closed as a window manager closes it. The programs take
turns with the limit (limit, program, limit, program, ..., limit), and each program is
compared with the mean of the two limit runs around it, so that the machine drifting
faster or slower shifts both sides of a ratio alike.

The figures of one run:
    fps         frames shown per second of the run's steady part: the frames between
                the first and the last swap over the time between them, so neither
                start-up nor the moment of closing counts;
    CPU ms      CPU time the process (all its threads, the GL driver's included) spent
                per frame over the same part. Other load on the machine changes this far
                less than the frame rate, so its ratio to the limit's is the steadier
                figure. It leaves out the X server's share, the same for every program,
                and so if anything exaggerates a difference from the limit;
    start-up    from starting the process to its first frame on the screen;
    peak RSS    the process's high-water mark of resident memory (VmHWM), read just
                before the window is closed;
    elsewhere   the share of the machine's CPUs that other processes used meanwhile
                (everything but the program, the X server and this script): where it
                is high, no frame rate measured here says much.
With several rounds, each figure is the median over the rounds, and the range of the
frame-rate ratio is shown beside it.
"""

import argparse
import os
import statistics
import sys
import tempfile
import time
from collections import namedtuple

_HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(_HERE, "..", "tests", "e2e"))
import harness  # noqa: E402

PROGRAMS = ["moblings_timed", "moblings_herd", "moblings_fenced", "moblings_spin",
            "moblings_wander", "moblings_solo", "moblings"]
LIMIT = "clear_swap"
GOAL = 0.95  # every program should show at least this share of the limit's frames
# Above this share of the CPUs busy with other work, the table warns that it is noise.
BUSY_ELSEWHERE = 0.10

# One line of the counter's file (see swapcount.c).
Record = namedtuple("Record",
                    "pid swaps start_ns first_ns last_ns end_ns cpu_first_ns cpu_last_ns")
# What one run of one program measured.
Run = namedtuple("Run", "name fps cpu_ms startup_ms rss_kib elsewhere", defaults=(0.0,))
# One row of the table: a program's medians and those of the limit runs around it. The
# ratios say how the program compares with the limit, > 1 being better than the limit:
# frames per second over the limit's, and the limit's CPU time per frame over the
# program's.
Row = namedtuple("Row", "name fps limit_fps ratio ratio_low ratio_high cpu_ms limit_cpu_ms "
                       "cpu_ratio startup_ms rss_mib elsewhere")


def parse_records(text):
    """The counter's lines, by pid. A line that does not parse is an error: the file
    has nothing in it but what the counter wrote."""
    records = {}
    for number, line in enumerate(text.splitlines(), 1):
        words = line.split()
        if not words:
            continue
        try:
            if words[0] != "swapcount":
                raise ValueError("not a counter line")
            fields = dict(w.split("=", 1) for w in words[1:])
            record = Record(*(int(fields[f]) for f in Record._fields))
        except (ValueError, KeyError, TypeError) as e:
            raise ValueError("line %d of the frame counter's file: %r (%s)"
                             % (number, line, e)) from None
        records[record.pid] = record
    return records


def record_for(text, pid):
    """The line of the process `pid`: a helper process that inherited the counter
    writes a line of its own."""
    records = parse_records(text)
    if pid not in records:
        raise ValueError("the frame counter wrote nothing for process %d (lines for %s)"
                         % (pid, sorted(records) or "none"))
    return records[pid]


def measure(name, record, launched_ns, rss_kib):
    """One run's figures from its counter line, the CLOCK_MONOTONIC time at which the
    process was started, and its peak RSS."""
    if record.swaps < 2 or record.last_ns <= record.first_ns:
        raise ValueError("%s showed %d frames: too few to time" % (name, record.swaps))
    frames = record.swaps - 1  # the intervals between the first and the last swap
    fps = frames * 1e9 / (record.last_ns - record.first_ns)
    cpu_ms = (record.cpu_last_ns - record.cpu_first_ns) / 1e6 / frames
    return Run(name, fps, cpu_ms, (record.first_ns - launched_ns) / 1e6, rss_kib)


def vm_hwm_kib(pid):
    """The peak resident memory of a running process, in KiB."""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    raise ValueError("no VmHWM for process %d" % pid)


def busy_ticks():
    """CPU time the whole machine has spent busy, in clock ticks: all but idle and
    waiting for I/O."""
    with open("/proc/stat") as f:
        user, nice, system, idle, iowait, irq, softirq, steal = map(int, f.readline().split()[1:9])
    return user + nice + system + irq + softirq + steal


def process_ticks(pid):
    """CPU time a process has used so far, every thread, in clock ticks."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()  # the name may hold spaces
    return int(fields[11]) + int(fields[12])  # utime, stime


def own_ticks():
    t = os.times()
    return (t.user + t.system) * os.sysconf("SC_CLK_TCK")


def xserver_pid():
    """The pid of the X server the harness runs the programs in: its state file
    holds "DISPLAYNUMBER PID"."""
    harness.display_name()  # starts the server
    with open(harness._private_server) as f:
        return int(f.read().split()[1])


def elsewhere_share(busy, program, xserver, own, seconds):
    """The share of all CPUs that processes other than ours kept busy over `seconds`,
    from the clock ticks counted meanwhile: by the whole machine, the program, the X
    server and this script."""
    return max(0.0, busy - program - xserver - own) / (
        os.cpu_count() * seconds * os.sysconf("SC_CLK_TCK"))


def run_once(path, seconds, preload):
    """Runs one program in the harness's Xvfb for `seconds` after its window shows,
    closes the window and returns what it measured."""
    name = os.path.basename(path)
    xserver = xserver_pid()
    fd, counts = tempfile.mkstemp(prefix="swapcount-")
    os.close(fd)
    try:
        env = {"LD_PRELOAD": preload, "SWAPCOUNT_FILE": counts}
        before = (busy_ticks(), process_ticks(xserver), own_ticks())
        launched_ns = time.monotonic_ns()  # the clock the counter uses
        with harness.Program(path, env=env) as p:
            p.wait_window()
            time.sleep(seconds)
            rss_kib = vm_hwm_kib(p.proc.pid)
            program = process_ticks(p.proc.pid)  # all of it since our `before`
            after = (busy_ticks(), process_ticks(xserver), own_ticks())
            lasted = (time.monotonic_ns() - launched_ns) / 1e9
            p.close_window()
            status, _ = p.wait()
            if status != 0:
                raise RuntimeError("%s ended with status %d\n%s"
                                   % (name, status, p.describe()))
            pid = p.proc.pid
        with open(counts) as f:
            record = record_for(f.read(), pid)
    finally:
        os.unlink(counts)
    busy, xs, own = (a - b for a, b in zip(after, before))
    return measure(name, record, launched_ns, rss_kib)._replace(
        elsewhere=elsewhere_share(busy, program, xs, own, lasted))


def rows(runs, limits):
    """The table's rows from the programs' runs and the limit runs.

    runs[name] is a list of Run, one per round; limits[name] the list, per round, of
    the two limit runs around that program's run. The last row is the limit itself,
    over all its runs."""
    median = statistics.median
    table = []
    for name, program_runs in runs.items():
        limit_fps = [statistics.mean(r.fps for r in pair) for pair in limits[name]]
        limit_cpu = [statistics.mean(r.cpu_ms for r in pair) for pair in limits[name]]
        ratios = [r.fps / l for r, l in zip(program_runs, limit_fps)]
        table.append(Row(name,
                         median(r.fps for r in program_runs),
                         median(limit_fps),
                         median(ratios), min(ratios), max(ratios),
                         median(r.cpu_ms for r in program_runs),
                         median(limit_cpu),
                         median(l / r.cpu_ms for r, l in zip(program_runs, limit_cpu)),
                         median(r.startup_ms for r in program_runs),
                         median(r.rss_kib for r in program_runs) / 1024,
                         median(r.elsewhere for r in program_runs)))
    every_limit = {id(r): r for pairs in limits.values() for pair in pairs for r in pair}
    all_limits = list(every_limit.values())
    if all_limits:
        fps = median(r.fps for r in all_limits)
        cpu_ms = median(r.cpu_ms for r in all_limits)
        table.append(Row(LIMIT + " (the limit)", fps, fps, 1.0, 1.0, 1.0, cpu_ms, cpu_ms, 1.0,
                         median(r.startup_ms for r in all_limits),
                         median(r.rss_kib for r in all_limits) / 1024,
                         median(r.elsewhere for r in all_limits)))
    return table


def format_table(table, seconds, rounds):
    lines = ["Frame rate of the programs against the limit of SDL and OpenGL here "
             "(%g s a run, %d round%s, median)" % (seconds, rounds, "" if rounds == 1 else "s"),
             "%-22s %5s %6s %6s %11s %6s | %7s %7s %6s | %8s %8s | %9s"
             % ("", "", "limit", "", "ratio", "", "CPU ms", "limit", "CPU", "start-up",
                "peak RSS", "elsewhere"),
             "%-22s %5s %6s %6s %11s %6s | %7s %7s %6s | %8s %8s | %9s"
             % ("program", "fps", "fps", "ratio", "range", "goal", "a frame", "CPU ms",
                "ratio", "ms", "MiB", "CPU %")]
    for r in table:
        goal = "" if r.name.startswith(LIMIT) else ("met" if r.ratio >= GOAL else "MISSED")
        spread = "" if r.name.startswith(LIMIT) else "%.2f-%.2f" % (r.ratio_low, r.ratio_high)
        lines.append("%-22s %5.0f %6.0f %6.3f %11s %6s | %7.3f %7.3f %6.3f | %8.0f %8.1f | %9.0f"
                     % (r.name, r.fps, r.limit_fps, r.ratio, spread, goal, r.cpu_ms,
                        r.limit_cpu_ms, r.cpu_ratio, r.startup_ms, r.rss_mib, r.elsewhere * 100))
    programs = [r for r in table if not r.name.startswith(LIMIT)]
    for what, attr in (("frame rate", "ratio"), ("CPU time per frame", "cpu_ratio")):
        missed = [r.name for r in programs if getattr(r, attr) < GOAL]
        lines.append("goal, every program at >= %d%% of the limit, by %s: %s"
                     % (round(GOAL * 100), what,
                        "met" if not missed else "missed by " + ", ".join(missed)))
    busy = statistics.median(r.elsewhere for r in table) if table else 0
    if busy > BUSY_ELSEWHERE:
        scatter = statistics.median((r.ratio_high - r.ratio_low) / 2 for r in programs) \
            if programs else 0
        lines.append("caution: other processes kept %.0f%% of the CPUs busy during these runs, "
                     "and a program's ratio scattered by +/-%.2f between rounds: a verdict "
                     "within that is noise" % (busy * 100, scatter))
    return "\n".join(lines)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build", help="the build folder")
    parser.add_argument("programs", nargs="*", default=PROGRAMS, metavar="PROGRAM",
                        help="programs to measure (default: all seven)")
    parser.add_argument("--seconds", type=float, default=3.0,
                        help="how long each run shows its window (default 3)")
    parser.add_argument("--rounds", type=int, default=5,
                        help="how many times to measure everything (default 5)")
    args = parser.parse_args(argv)
    if args.seconds <= 0 or args.rounds < 1:
        parser.error("--seconds must be positive and --rounds at least 1")

    preload = os.path.abspath(os.path.join(args.build, "bench", "libswapcount.so"))
    limit = os.path.join(args.build, "bench", LIMIT)
    paths = [os.path.join(args.build, p) for p in args.programs]
    for path in [preload, limit] + paths:
        if not os.path.exists(path):
            parser.error("%s is missing: build the benchmarks first" % path)

    def progress(text):
        print(text, file=sys.stderr, flush=True)

    # The first window of a fresh X server and driver is slower to come: not counted.
    progress("warming up with %s" % LIMIT)
    run_once(limit, min(args.seconds, 1.0), preload)

    runs = {os.path.basename(p): [] for p in paths}
    limits = {name: [] for name in runs}
    for rnd in range(args.rounds):
        before = run_once(limit, args.seconds, preload)
        for path in paths:
            name = os.path.basename(path)
            progress("round %d/%d: %s" % (rnd + 1, args.rounds, name))
            run = run_once(path, args.seconds, preload)
            after = run_once(limit, args.seconds, preload)
            runs[name].append(run)
            limits[name].append((before, after))
            progress("  %.0f fps (%.2f CPU ms a frame) against %.0f and %.0f;"
                     " %.0f%% of the CPUs busy elsewhere"
                     % (run.fps, run.cpu_ms, before.fps, after.fps, run.elsewhere * 100))
            before = after

    print(format_table(rows(runs, limits), args.seconds, args.rounds))
    return 0


if __name__ == "__main__":
    sys.exit(main())
