# SPDX-License-Identifier: MIT
"""Frame rate, start-up time and peak memory of the seven programs, each set against
a limit that draws what that program draws: the limit program opens the same window the
same way and draws each frame as the renderer does, the program's population of shapes
in its projection, turned where it turns them, but held still at fixed places, with no
movement rules, no random draws and no frame clock. What a program falls short of its
limit is what our rules and loop cost beyond the drawing the design requires.

    /usr/bin/python3 bench/framerate.py BUILD_DIR [--seconds S] [--rounds N] [PROGRAM...]

BUILD_DIR holds the programs and bench/limit and bench/libswapcount.so. Every run gets a
private Xvfb, shows its window for S seconds with the frame counter preloaded, and is
closed as a window manager closes it. Each program takes its turn between two runs of
its own limit (limit, program, limit), and is compared with the mean of the two, so that
the machine drifting faster or slower shifts both sides of a ratio alike.

The figures of one run:
    fps         frames shown per second of the run's steady part: the frames between
                the first and the last swap over the time between them, so neither
                start-up nor the moment of closing counts;
    CPU ms      CPU time the process (all its threads, the GL driver's included) spent
                per frame over the same part. Other load on the machine changes this far
                less than the frame rate, so its ratio to the limit's is the steadier
                figure. It leaves out the X server's share, much the same for a program
                and its limit, and so if anything exaggerates a difference between them;
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

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from lab import programs  # noqa: E402
from lab.run import FrameWatch, Program  # noqa: E402
from lab.traces import record_for  # noqa: E402
from lab.xserver import private_server  # noqa: E402

PROGRAMS = list(programs.PROGRAMS)
LIMIT = "limit"
LIMIT_ROW = "the limit, every run"
GOAL = 0.95  # every program should show at least this share of its limit's frames
MIN_FRAMES = 3  # frames every run shows at the least after its time, however busy the machine
# Above this share of the CPUs busy with other work, the table warns that it is noise.
BUSY_ELSEWHERE = 0.10

# What one run of one program measured.
Run = namedtuple("Run", "name fps cpu_ms startup_ms rss_kib elsewhere", defaults=(0.0,))
# One row of the table: a program's medians and those of the limit runs around it, and
# what that limit drew. The ratios say how the program compares with the limit, > 1 being
# better than the limit: frames per second over the limit's, and the limit's CPU time per
# frame over the program's. The last row, the limit's own, has only start-up, memory and
# load: its runs drew different frames.
Row = namedtuple("Row", "name drawing fps limit_fps ratio ratio_low ratio_high cpu_ms "
                       "limit_cpu_ms cpu_ratio startup_ms rss_mib elsewhere")


def limit_args(description):
    """The limit's command line that draws what the described program draws."""
    return ([str(description.population)] + ["turned"] * description.drawn_turned
            + ["centred"] * description.centred)


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
    """The pid of the X server the programs run in."""
    return private_server().proc.pid


def elsewhere_share(busy, program, xserver, own, seconds):
    """The share of all CPUs that processes other than ours kept busy over `seconds`,
    from the clock ticks counted meanwhile: by the whole machine, the program, the X
    server and this script."""
    return max(0.0, busy - program - xserver - own) / (
        os.cpu_count() * seconds * os.sysconf("SC_CLK_TCK"))


def run_once(path, seconds, preload, args=()):
    """Runs one program in a private Xvfb for `seconds` after its window shows, and
    until it has shown a few more frames, closes the window and returns what it
    measured."""
    name = os.path.basename(path)
    xserver = xserver_pid()
    fd, counts = tempfile.mkstemp(prefix="swapcount-")
    os.close(fd)
    try:
        env = {"LD_PRELOAD": preload, "SWAPCOUNT_FILE": counts}
        before = (busy_ticks(), process_ticks(xserver), own_ticks())
        launched_ns = time.monotonic_ns()  # the clock the counter uses
        with Program(path, env=env, args=args) as p:
            p.wait_window()
            time.sleep(seconds)
            # A loaded machine may show no frame in a short run: a rate needs a few.
            watch = FrameWatch(p)
            try:
                watch.count(MIN_FRAMES, 60.0)
            finally:
                watch.close()
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


def one_round(paths, limit, run):
    """Measures each program between two runs of its own limit; run(path, args) runs one
    and returns its Run. Yields, program by program, (name, its Run, (the limit's Run
    before, the limit's Run after))."""
    for path in paths:
        name = os.path.basename(path)
        args = limit_args(programs.describe(name))
        before = run(limit, args)
        mine = run(path, ())
        yield name, mine, (before, run(limit, args))


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
                         " ".join(limit_args(programs.describe(name))),
                         median(r.fps for r in program_runs),
                         median(limit_fps),
                         median(ratios), min(ratios), max(ratios),
                         median(r.cpu_ms for r in program_runs),
                         median(limit_cpu),
                         median(l / r.cpu_ms for r, l in zip(program_runs, limit_cpu)),
                         median(r.startup_ms for r in program_runs),
                         median(r.rss_kib for r in program_runs) / 1024,
                         median(r.elsewhere for r in program_runs)))
    all_limits = [r for pairs in limits.values() for pair in pairs for r in pair]
    if all_limits:
        table.append(Row(LIMIT_ROW, "", *[None] * 8,
                         median(r.startup_ms for r in all_limits),
                         median(r.rss_kib for r in all_limits) / 1024,
                         median(r.elsewhere for r in all_limits)))
    return table


def format_table(table, seconds, rounds):
    columns = "%-22s %-17s %5s %6s %6s %11s %6s | %7s %7s %6s | %8s %8s | %9s"
    lines = ["Frame rate of the programs against a limit that draws what each draws, its "
             "shapes held still (%g s a run, %d round%s, median):"
             % (seconds, rounds, "" if rounds == 1 else "s"),
             "a ratio under 1 is what our rules and loop cost beyond the drawing the design "
             "requires",
             columns % ("", "the limit", "", "limit", "", "ratio", "", "CPU ms", "limit",
                        "CPU", "start-up", "peak RSS", "elsewhere"),
             columns % ("program", "draws (shapes)", "fps", "fps", "ratio", "range", "goal",
                        "a frame", "CPU ms", "ratio", "ms", "MiB", "CPU %")]

    def cell(fmt, value):
        return "" if value is None else fmt % value

    for r in table:
        mine = r.ratio is not None
        goal = "" if not mine else ("met" if r.ratio >= GOAL else "MISSED")
        spread = "" if not mine else "%.2f-%.2f" % (r.ratio_low, r.ratio_high)
        lines.append(columns % (
            r.name, r.drawing, cell("%.0f", r.fps), cell("%.0f", r.limit_fps),
            cell("%.3f", r.ratio), spread, goal, cell("%.3f", r.cpu_ms),
            cell("%.3f", r.limit_cpu_ms), cell("%.3f", r.cpu_ratio), "%.0f" % r.startup_ms,
            "%.1f" % r.rss_mib, "%.0f" % (r.elsewhere * 100)))
    measured = [r for r in table if r.ratio is not None]
    for what, attr in (("frame rate", "ratio"), ("CPU time per frame", "cpu_ratio")):
        missed = [r.name for r in measured if getattr(r, attr) < GOAL]
        lines.append("goal, every program at >= %d%% of its limit, by %s: %s"
                     % (round(GOAL * 100), what,
                        "met" if not missed else "missed by " + ", ".join(missed)))
    busy = statistics.median(r.elsewhere for r in table) if table else 0
    if busy > BUSY_ELSEWHERE:
        scatter = statistics.median((r.ratio_high - r.ratio_low) / 2 for r in measured) \
            if measured else 0
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
    for name in args.programs:
        if name not in programs.PROGRAMS:
            parser.error("%s is not one of the programs %s" % (name, ", ".join(PROGRAMS)))

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
        measured = one_round(paths, limit,
                             lambda path, a: run_once(path, args.seconds, preload, a))
        for name, mine, (before, after) in measured:
            runs[name].append(mine)
            limits[name].append((before, after))
            progress("round %d/%d: %s, %.0f fps (%.2f CPU ms a frame) against its limit's"
                     " %.0f and %.0f; %.0f%% of the CPUs busy elsewhere"
                     % (rnd + 1, args.rounds, name, mine.fps, mine.cpu_ms, before.fps,
                        after.fps, mine.elsewhere * 100))

    print(format_table(rows(runs, limits), args.seconds, args.rounds))
    return 0


if __name__ == "__main__":
    sys.exit(main())
