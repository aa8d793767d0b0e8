# SPDX-License-Identifier: MIT
"""Watches one program from outside while it runs: the work behind scripts/record.sh,
scripts/trails.sh and scripts/pictures.sh.

    /usr/bin/python3 scripts/watch.py --build DIR [--seed SECOND] [--step MS] [--set FIELD=VALUE]...
        (--frames N PROGRAM | PROGRAM SECONDS) [--record FILE]... [--csv FILE] [--trails FILE]
        [--check]

Runs PROGRAM (a name in the build folder DIR, or a path) for SECONDS, or for exactly N
frames, in a private virtual X server, with apitrace's tracer and the frame counter of
bench/swapcount.c preloaded, closes its window as a user would, and writes from that one
run what is asked for below. A run of N frames that is not recorded (no --record) draws
nothing: the recorder of bench/placed.c stands in place of apitrace and of the driver,
and gives the same positions (lab.traces.recorded_run); a timed program's run without
--step is drawn all the same, since its steps are as long as its frames take.

  --record FILE  the run as a looping animation (.webp, or .gif), frames exactly as the
                 program drew them (record.py). May be given more than once.
  --csv FILE     every creature's position in every frame as the program handed it to
                 OpenGL: frame,creature,x,y,rotation (rotation empty where it draws unturned)
  --trails FILE  a PNG of every creature's path on the program's own projection (trails.py)

With --seed, the program's wall clock stands at the Unix second SECOND, as in a run of
scripts/experiment.py whose seed column reads SECOND: srand(time(0)) takes SECOND as its
seed, and its frame clock runs on. With --step, its frame clock moves on by exactly MS
milliseconds a frame (bench/frameclock.c), so a timed program's steps no longer depend on
the machine, and a recording plays each frame for MS ms. --frames N ends the run after
exactly N frames, however fast the machine draws them: with a seed (and, for a timed
program, a step) the same command writes the same positions on any machine. --check only
checks the arguments, before anything is built. --set FIELD=VALUE, as many as needed,
builds a variant of PROGRAM (a name) with those settings, as a sweep builds one
(variants.py), in DIR/sweep/, and runs that.

What the program writes goes to standard output; what this script is doing, to standard
error. It leaves nothing running, and no half-written file when it fails.
"""

import argparse
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import record  # noqa: E402
import trails  # noqa: E402
import variants  # noqa: E402
from lab.programs import describe  # noqa: E402
from lab.traces import (Failure, add_run_options, check_seeds, command, pinned,  # noqa: E402
                        recordable, recorded_run, require, run_options, traced_run,
                        x_server)

TOOL = "watch"


def say(what):
    print("%s: %s" % (TOOL, what), file=sys.stderr, flush=True)


def check_outputs(args):
    for file in args.record:
        if os.path.splitext(file)[1].lower() not in record.FORMATS:
            raise Failure("%s: an animation is a .webp or a .gif" % file)
    require(record.tools(args.record))
    for file in args.record + [f for f in (args.csv, args.trails) if f]:
        os.makedirs(os.path.dirname(os.path.abspath(file)), exist_ok=True)


def seconds(text):
    try:
        return float(text)
    except ValueError:
        raise Failure("SECONDS must be a number, not %r" % text) from None


def timed(args, variant):
    """Whether the program's frame clock times its steps; a program that is none of ours
    is taken as untimed."""
    try:
        description = describe(args.program)
    except ValueError:
        return False
    return (variants.described(description, args.program, variant) if variant else
            description).timed


def main():
    global TOOL
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="the build folder")
    parser.add_argument("--record", action="append", default=[], metavar="FILE")
    parser.add_argument("--csv", metavar="FILE")
    parser.add_argument("--trails", metavar="FILE")
    parser.add_argument("--seed", type=int, metavar="SECOND", help="the run's second (Unix time)")
    add_run_options(parser)
    parser.add_argument("program")
    parser.add_argument("seconds", nargs="?")
    args = parser.parse_args()
    TOOL = "record" if not (args.csv or args.trails) else "trails" if not args.record else "watch"
    program = args.program if "/" in args.program else os.path.join(args.build, args.program)

    def work():
        if not (args.record or args.csv or args.trails):
            raise Failure("nothing to write: give --record, --csv or --trails")
        step, frames = run_options(args)
        if frames and args.seconds is not None:
            raise Failure("a run of --frames N takes no SECONDS")
        if not frames and not (args.seconds and seconds(args.seconds) > 0):
            raise Failure("SECONDS must be more than 0")
        if args.seed is not None:
            check_seeds(args.seed)
        variant = None
        if args.set:
            if program != os.path.join(args.build, args.program):
                raise Failure("--set builds a variant of a program in programs/: give its name")
            try:
                variant = variants.variants(args.program, None, args.set)[1][0]
            except variants.Invalid as e:
                raise Failure(e)
        if args.check:
            return
        run_program = program
        if variant:
            where = variants.folder(args.build, variant)
            say("building %s in %s" % (variant.name, where))
            wait = variants.waiting(lambda so_far: say("building: %.0f s so far" % so_far), 10)
            try:
                run_program = variants.build(args.build, args.program, where, variant, wait)
            except RuntimeError as e:
                raise Failure("building %s: %s" % (variant.name, e))
        env = None if args.seed is None else pinned(args.seed)
        if not os.access(run_program, os.X_OK) or os.path.isdir(run_program):
            raise Failure("not a program: %s" % run_program)
        check_outputs(args)
        with tempfile.TemporaryDirectory(prefix="moblings-watch-") as folder:
            with x_server() as server:
                if env:
                    say("its clock stands at %d, the seed srand takes" % args.seed)
                tools = os.path.join(args.build, "bench")
                if not args.record and recordable(frames, step, timed(args, variant)):
                    run = recorded_run(run_program, server.display, folder, tools, frames,
                                       env=env, say=say, step=step)
                else:
                    run = traced_run(run_program, frames is None and seconds(args.seconds),
                                     server.display, folder, tools, env=env, say=say,
                                     frames=frames, step=step)
                sys.stdout.write(run.output)
                sys.stdout.flush()
                if args.record:
                    record.record(run, server.display, folder, args.record, say)
            if args.csv:
                trails.write_csv(run, args.csv, say)
            if args.trails:
                trails.draw_trails(run, args.trails, say)

    return command(work, say)


if __name__ == "__main__":
    sys.exit(main())
