# SPDX-License-Identifier: MIT
"""Watches one program from outside while it runs: the work behind scripts/record.sh,
scripts/trails.sh and scripts/pictures.sh.

    /usr/bin/python3 scripts/watch.py --build DIR PROGRAM SECONDS
        [--record FILE]... [--csv FILE] [--trails FILE]

Runs PROGRAM (a name in the build folder DIR, or a path) for SECONDS in a private virtual
X server, with apitrace's tracer and the frame counter of bench/swapcount.c preloaded,
closes its window as a user would, and writes from that one run:

  --record FILE  the run as a looping animation (.webp, or .gif), frames exactly as the
                 program drew them: glretrace replays the trace off-screen, img2webp (or
                 ImageMagick and gifsicle) puts the frames together. May be given more
                 than once.
  --csv FILE     every creature's position in every frame as the program handed it to
                 OpenGL: frame,creature,x,y,rotation (rotation empty where it draws unturned)
  --trails FILE  a PNG of every creature's path on the program's own projection

What the program writes goes to standard output; what this script is doing, to standard
error. It leaves nothing running, and no half-written file when it fails.
"""

import argparse
import colorsys
import csv
import glob
import math
import os
import pickle
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402

XVFB = os.path.join(ROOT, "tests", "e2e", "xvfb.sh")
APITRACE = "/usr/bin/apitrace"
GLRETRACE = "/usr/bin/glretrace"
IMG2WEBP = "/usr/bin/img2webp"
GIFSICLE = "/usr/bin/gifsicle"
# Named in full: some machines put a stand-in called convert earlier on PATH.
MOGRIFY = "/usr/bin/mogrify"

KEPT_PER_SECOND = 25  # the fewest frames an animation keeps for each second of the run
END_FRAME = 1 << 5    # apitrace's flag on the call that ends a frame (glXSwapBuffers)



def webp(folder, frames, delays, out):
    """The commands that make `out` from the frames in `folder` (their working folder):
    libwebp's own encoder, lossless, a frame at a time. ImageMagick would hold every
    frame at once and stop at its resource limits after a few hundred. Its arguments go
    in a file, which keeps long runs within the limits of a command line."""
    lines = ["-loop", "0", "-lossless"]
    for frame, ms in zip(frames, delays):
        lines += ["-d", str(ms), frame]
    with open(os.path.join(folder, "frames.args"), "w") as f:
        f.write("\n".join(lines + ["-o", out]) + "\n")
    return [[IMG2WEBP, "frames.args"]]


def gif(folder, frames, delays, out):
    """Each frame made a GIF by ImageMagick's mogrify, one at a time (undithered: a
    frame has far fewer than 256 colours, and keeps them all exactly), then the frames
    joined and optimised by gifsicle."""
    joined = [GIFSICLE, "--loopcount=forever", "-O2", "-o", out]
    for frame, cs in zip(frames, delays):
        joined += ["-d", str(cs), frame[:-len(".png")] + ".gif"]
    return [[MOGRIFY, "-format", "gif", "+dither", "-colors", "256", "*.png"], joined]


# Frame delays are whole units of the format: GIF counts hundredths of a second, WebP
# thousandths.
FORMATS = {".gif": (gif, 100, "ImageMagick and gifsicle",
                    [(MOGRIFY, "imagemagick"), (GIFSICLE, "gifsicle")]),
           ".webp": (webp, 1000, "img2webp", [(IMG2WEBP, "webp")])}


class Failure(Exception):
    pass


def say(what):
    print("%s: %s" % (TOOL, what), file=sys.stderr, flush=True)


def size_of(path):
    return "%.1f KB" % (os.path.getsize(path) / 1000)


# -- the run ----------------------------------------------------------------------------

class Run:
    """What one traced run left: the program's frames, in drawing order, each a list of
    [x, y, rotation or None] per creature with the number of the call that ended it;
    the projection it drew with, its window's size, and its frame rate."""

    def __init__(self, frames, ends, projection, window, rate, seconds):
        self.frames, self.ends, self.projection = frames, ends, projection
        self.window, self.rate, self.seconds = window, rate, seconds


def start_server(folder):
    state = os.path.join(folder, "xvfb")
    done = subprocess.run(["sh", XVFB, "start", state], capture_output=True, text=True)
    if done.returncode != 0:
        raise Failure("no virtual X server: " + done.stderr.strip())
    with open(state) as f:
        return state, ":" + f.read().split()[0]


def preload_paths(swapcount):
    tracers = sorted(glob.glob("/usr/lib/*/apitrace/wrappers/glxtrace.so"))
    if not tracers:
        raise Failure("apitrace's tracer glxtrace.so not found: install Debian's apitrace")
    if not os.path.exists(swapcount):
        raise Failure("no frame counter at %s: build the benchmarks' swapcount "
                      "(scripts/build.sh builds it)" % swapcount)
    return [tracers[0], os.path.abspath(swapcount)]


def run_program(program, seconds, display, folder, swapcount):
    """Runs the program traced and returns (trace file, frames it showed, first and last
    showing in ns, window size)."""
    trace = os.path.join(folder, "run.trace")
    counts = os.path.join(folder, "swaps")
    preload = [p for p in os.environ.get("LD_PRELOAD", "").split() if p]
    env = {"LD_PRELOAD": " ".join(preload + preload_paths(swapcount)),
           "TRACE_FILE": trace, "SWAPCOUNT_FILE": counts}
    name = os.path.basename(program)
    with harness.Program(program, display=display, env=env) as p:
        try:
            p.wait_window()
        except AssertionError as e:
            raise Failure("%s did not open its window: %s" % (name, e))
        window = p.window_size()
        say("its window is open; running it for %g s" % seconds)
        time.sleep(seconds)
        p.close_window()
        try:
            status, out = p.wait()
        except AssertionError as e:
            raise Failure("%s did not end when its window was closed: %s" % (name, e))
        sys.stdout.write(out)
        sys.stdout.flush()
        if status != 0:
            raise Failure("%s ended with status %s\n%s" % (name, status, p.describe()))
        pid = p.proc.pid
    say("closed its window; it ended normally")
    for line in open(counts) if os.path.exists(counts) else ():
        fields = dict(f.split("=", 1) for f in line.split()[1:])
        if int(fields["pid"]) == pid:
            return trace, int(fields["swaps"]), int(fields["first_ns"]), \
                int(fields["last_ns"]), window
    raise Failure("the frame counter has no figures for %s" % name)


class _Calls(pickle.Unpickler):
    """apitrace pickle's stream of calls, (number, name, [(argument, value)], result,
    flags). Unlike apitrace dump's text, it keeps every float exactly."""

    def find_class(self, module, name):
        if (module, name) == ("unpickle", "Pointer"):
            return int  # an address: nothing here reads it
        raise pickle.UnpicklingError("unexpected %s.%s in apitrace's pickle" % (module, name))


def read_trace(trace):
    """The program's own frames in the trace: (frames, the calls that end them, glOrtho's
    arguments).

    SDL may show a frame of its own when it opens the window; the program's frames are
    those from the one in which it sets its projection on. A creature is the place of one
    glTranslatef, turned by the glRotatef that may follow before its shape is begun."""
    proc = subprocess.Popen([APITRACE, "pickle", trace], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    frames, ends, ortho, creatures, placing = [], [], None, [], False
    try:
        calls = _Calls(proc.stdout)
        while True:
            try:
                no, name, args, _, flags = calls.load()
            except EOFError:
                break
            if name == "glTranslatef":
                creatures.append([args[0][1], args[1][1], None])
                placing = True
            elif name == "glRotatef" and placing:
                creatures[-1][2] = args[0][1]
            elif name == "glBegin":
                placing = False
            elif name == "glOrtho" and ortho is None:
                ortho = [value for _, value in args]
            if flags & END_FRAME:
                if ortho is not None:
                    frames.append(creatures)
                    ends.append(no)
                creatures, placing = [], False
    finally:
        proc.stdout.close()
        err = proc.stderr.read().decode(errors="replace")
        proc.wait()
    if proc.returncode != 0:
        raise Failure("apitrace pickle could not read the trace: " + err.strip())
    return frames, ends, ortho


def watch(program, seconds, display, folder, swapcount):
    say("running %s in a private X server (%s), traced by apitrace"
        % (os.path.basename(program), display))
    trace, swaps, first_ns, last_ns, window = run_program(
        program, seconds, display, folder, swapcount)
    say("reading the trace")
    frames, ends, ortho = read_trace(trace)
    if len(frames) != swaps:
        raise Failure("the trace holds %d of the program's frames, but it showed %d"
                      % (len(frames), swaps))
    if swaps < 2:
        raise Failure("the program showed %d frames: too few to tell its speed" % swaps)
    # The trace keeps no times of its own; the frame counter noted when the first and
    # the last frame were shown.
    span = (last_ns - first_ns) / 1e9
    rate = (swaps - 1) / span
    say("it drew %d frames in %.3f s from the first to the last: %.3f a second"
        % (swaps, span, rate))
    left, right, bottom, top = ortho[:4]
    projection = harness.Projection(left, right, bottom, top, *window)
    return Run(frames, ends, projection, window, rate, span)


# -- the animation ----------------------------------------------------------------------

def record(run, display, folder, files):
    """Keeps every step-th frame, step the largest whole number that still keeps 25 a
    second (every frame where the program drew fewer), and shows each for step frames of
    the measured rate. Delays are rounded on their running total, so that the loop lasts
    as long as the run to within one unit of the format; a kept frame lasts more than
    1/50 s, which browsers show as given (they stretch GIF delays under 2/100 s)."""
    step = max(1, int(run.rate // KEPT_PER_SECOND))
    kept = list(range(0, len(run.frames), step))
    say("replaying %d of its frames off-screen (glretrace), every %d frames: %.3f a second"
        % (len(kept), step, run.rate / step))
    shots = os.path.join(folder, "frames")
    os.mkdir(shots)
    calls = [run.ends[k] for k in kept]
    done = subprocess.run(
        [GLRETRACE, "-s", shots + "/", "-S", ",".join(map(str, calls)),
         os.path.join(folder, "run.trace")],
        env={**os.environ, "DISPLAY": display}, stdout=subprocess.DEVNULL,
        stderr=subprocess.PIPE, text=True, timeout=120 + 10 * run.seconds)
    pictures = [os.path.join(shots, "%010d.png" % c) for c in calls]
    missing = [p for p in pictures if not os.path.exists(p)]
    if done.returncode != 0 or missing:
        raise Failure("glretrace did not replay %d of the frames: %s"
                      % (len(missing), done.stderr.strip()[-2000:]))
    names = [os.path.basename(p) for p in pictures]
    for file in files:
        make, unit, tools, _ = FORMATS[os.path.splitext(file)[1].lower()]
        each = step / run.rate
        marks = [round(i * each * unit) for i in range(len(kept) + 1)]
        delays = [b - a for a, b in zip(marks, marks[1:])]
        partial = os.path.join(folder, "animation")
        say("putting them together as %s (%s)" % (make.__name__.upper(), tools))
        for command in make(shots, names, delays, partial):
            done = subprocess.run(command, cwd=shots, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE, text=True)
            if done.returncode != 0:
                raise Failure("%s could not make the animation: %s"
                              % (os.path.basename(command[0]), done.stderr.strip()))
        if not os.path.exists(partial):
            raise Failure("no animation was written")
        shutil.move(partial, file)
        say("wrote %s: %d frames, %.3f s a loop, %s"
            % (file, len(kept), marks[-1] / unit, size_of(file)))


# -- positions and trails ---------------------------------------------------------------

def exact(value):
    """The shortest text that reads back as the same single-precision float."""
    for digits in range(6, 10):
        text = "%.*g" % (digits, value)
        if struct.unpack("f", struct.pack("f", float(text)))[0] == value:
            return text
    return repr(value)


def write_csv(run, file):
    partial = file + ".part"
    with open(partial, "w", newline="") as f:
        out = csv.writer(f)
        out.writerow(["frame", "creature", "x", "y", "rotation"])
        for k, creatures in enumerate(run.frames):
            for i, (x, y, rotation) in enumerate(creatures):
                turned = "" if rotation is None else exact(rotation)
                out.writerow([k, i, exact(x), exact(y), turned])
    os.replace(partial, file)
    say("wrote %s: %d frames of %d creatures, %s"
        % (file, len(run.frames), len(run.frames[0]), size_of(file)))


FINE = 2               # the trails are drawn at twice the size and scaled down: smooth lines
BORDER = (110, 110, 110)
OLDEST = 0.15          # how bright the oldest part of a path is, against 1 for the newest
MARK = 4               # pixels: the radius of a path's start and end marks


def draw_trails(run, file):
    """A long exposure on the program's own projection, under a line saying how to read
    it. The field is the window's size in world units, centred where the projection is:
    with a margin round it in the programs that show one, the whole window in those
    that centre their field on the origin."""
    w, h = run.window
    img = Image.new("RGB", (w * FINE, h * FINE))
    draw = ImageDraw.Draw(img)

    def at(x, y):
        c, r = run.projection.to_image(x, y)
        return c * FINE, r * FINE

    p = run.projection
    cx, cy = (p.left + p.right) / 2, (p.bottom + p.top) / 2
    (x0, y0), (x1, y1) = at(cx - w / 2, cy + h / 2), at(cx + w / 2, cy - h / 2)
    draw.rectangle([max(0, x0), max(0, y0), min(w * FINE, x1) - 1, min(h * FINE, y1) - 1],
                   outline=BORDER, width=FINE)

    count = len(run.frames[0])
    colours = [colorsys.hsv_to_rgb((0.55 + i / count) % 1.0, 0.7, 1.0) for i in range(count)]
    paths = [[at(*frame[i][:2]) for frame in run.frames] for i in range(count)]

    def shade(colour, brightness):
        return tuple(int(255 * c * brightness) for c in colour)

    last = len(run.frames) - 1
    # In time order over all creatures, so that newer parts lie over older ones.
    for k in range(1, last + 1):
        brightness = OLDEST + (1 - OLDEST) * k / last
        for path, colour in zip(paths, colours):
            draw.line([path[k - 1], path[k]], fill=shade(colour, brightness), width=FINE)

    def inside(pt):
        return 0 <= pt[0] < w * FINE and 0 <= pt[1] < h * FINE

    r = MARK * FINE
    for path, colour in zip(paths, colours):
        full = shade(colour, 1.0)
        sx, sy = path[0]
        draw.ellipse([sx - r, sy - r, sx + r, sy + r], outline=full, width=FINE)
        seen = [k for k, pt in enumerate(path) if inside(pt)]
        if not seen:
            continue
        k = seen[-1]
        ex, ey = path[k]
        if k == last:
            draw.ellipse([ex - r, ey - r, ex + r, ey + r], fill=full)
            continue
        # It walked out of the picture: an arrowhead that points on from where it was
        # last seen.
        dx, dy = path[k + 1][0] - ex, path[k + 1][1] - ey
        length = math.hypot(dx, dy) or 1.0
        ux, uy = dx / length, dy / length
        bx, by = ex - 3 * r * ux, ey - 3 * r * uy
        draw.polygon([(ex, ey), (bx - r * uy, by + r * ux), (bx + r * uy, by - r * ux)],
                     fill=full)

    strip = 16
    picture = Image.new("RGB", (w, h + strip))
    picture.paste(img.resize((w, h), Image.BOX))
    ImageDraw.Draw(picture).text(
        (4, h + 3), "%d frames in %.1f s. Ring: start; disc: end; arrow: where it left the "
        "picture. Older parts fainter; grey: the field's border." % (len(run.frames), run.seconds),
        fill=(200, 200, 200), font=ImageFont.load_default())
    partial = file + ".part"
    picture.save(partial, "PNG", optimize=True)
    os.replace(partial, file)
    say("wrote %s, %s" % (file, size_of(file)))


# -- the command ------------------------------------------------------------------------

def check_outputs(args):
    for file in args.record:
        if os.path.splitext(file)[1].lower() not in FORMATS:
            raise Failure("%s: an animation is a .webp or a .gif" % file)
    needed = [(APITRACE, "apitrace"), (shutil.which("Xvfb"), "xvfb")]
    if args.record:
        needed.append((GLRETRACE, "apitrace"))
    for file in args.record:
        needed += FORMATS[os.path.splitext(file)[1].lower()][3]
    for path, package in needed:
        if not path or not os.access(path, os.X_OK):
            raise Failure("%s not found: install Debian's %s (scripts/install-deps.sh does)"
                          % (path or "Xvfb", package))
    for file in args.record + [f for f in (args.csv, args.trails) if f]:
        os.makedirs(os.path.dirname(os.path.abspath(file)), exist_ok=True)


def main():
    global TOOL
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="the build folder")
    parser.add_argument("--record", action="append", default=[], metavar="FILE")
    parser.add_argument("--csv", metavar="FILE")
    parser.add_argument("--trails", metavar="FILE")
    parser.add_argument("program")
    parser.add_argument("seconds", type=float)
    args = parser.parse_args()
    TOOL = "record" if not (args.csv or args.trails) else "trails" if not args.record else "watch"
    program = args.program if "/" in args.program else os.path.join(args.build, args.program)
    # A signal must unwind like an error does, so that nothing is left running.
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, lambda signum, _: sys.exit(128 + signum))
    try:
        if not (args.record or args.csv or args.trails):
            raise Failure("nothing to write: give --record, --csv or --trails")
        if not os.access(program, os.X_OK) or os.path.isdir(program):
            raise Failure("not a program: %s" % program)
        if not args.seconds > 0:
            raise Failure("SECONDS must be more than 0")
        check_outputs(args)
        with tempfile.TemporaryDirectory(prefix="moblings-watch-") as folder:
            state, display = start_server(folder)
            try:
                run = watch(program, args.seconds, display, folder,
                            os.path.join(args.build, "bench", "libswapcount.so"))
                if args.record:
                    record(run, display, folder, args.record)
            finally:
                subprocess.run(["sh", XVFB, "stop", state])
            if args.csv:
                write_csv(run, args.csv)
            if args.trails:
                draw_trails(run, args.trails)
    except Failure as e:
        say("error: %s" % e)
        return 1
    except subprocess.TimeoutExpired as e:
        say("error: %s took too long" % e.cmd[0])
        return 1
    except KeyboardInterrupt:
        say("interrupted")
        return 130
    return 0


TOOL = "watch"

if __name__ == "__main__":
    sys.exit(main())
