# SPDX-License-Identifier: MIT
"""A traced run as a looping animation (.webp, or .gif), frames exactly as the program
drew them: glretrace replays the trace off-screen, img2webp (or ImageMagick and gifsicle)
puts the frames together. scripts/watch.py runs it for scripts/record.sh."""

import os
import shutil
import subprocess

from lab.traces import Failure

GLRETRACE = "/usr/bin/glretrace"
IMG2WEBP = "/usr/bin/img2webp"
GIFSICLE = "/usr/bin/gifsicle"
# Named in full: some machines put a stand-in called convert earlier on PATH.
MOGRIFY = "/usr/bin/mogrify"

KEPT_PER_SECOND = 25  # the fewest frames an animation keeps for each second of the run


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


def tools(files):
    """[(path, Debian package)] of the tools that make these animation files."""
    needed = [(GLRETRACE, "apitrace")] if files else []
    for file in files:
        needed += FORMATS[os.path.splitext(file)[1].lower()][3]
    return needed


def size_of(path):
    return "%.1f KB" % (os.path.getsize(path) / 1000)


def record(run, display, folder, files, say):
    """Keeps every step-th frame, step the largest whole number that still keeps 25 a
    second (every frame where the program drew fewer), and shows each for step frames of
    the measured rate. Delays are rounded on their running total, so that the loop lasts
    as long as the run to within one unit of the format; a kept frame lasts more than
    1/50 s, which browsers show as given (they stretch GIF delays under 2/100 s)."""
    if run.rate is None:
        raise Failure("a single frame without a step has no speed to play it at: give --step")
    step = max(1, int(run.rate // KEPT_PER_SECOND))
    kept = list(range(0, len(run.frames), step))
    say("replaying %d of its frames off-screen (glretrace), every %d frames: %.3f a second"
        % (len(kept), step, run.rate / step))
    shots = os.path.join(folder, "frames")
    os.mkdir(shots)
    calls = [run.ends[k] for k in kept]
    done = subprocess.run(
        [GLRETRACE, "-s", shots + "/", "-S", ",".join(map(str, calls)), run.trace],
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
