# SPDX-License-Identifier: MIT
"""Where a traced run's creatures went: every position as a CSV, and their paths as one
long exposure on the program's own projection. scripts/watch.py runs it for
scripts/trails.sh."""

import colorsys
import csv
import math
import os
import struct

from PIL import Image, ImageDraw, ImageFont


def size_of(path):
    return "%.1f KB" % (os.path.getsize(path) / 1000)


def exact(value):
    """The shortest text that reads back as the same single-precision float."""
    for digits in range(6, 10):
        text = "%.*g" % (digits, value)
        if struct.unpack("f", struct.pack("f", float(text)))[0] == value:
            return text
    return repr(value)


def write_csv(run, file, say):
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


def draw_trails(run, file, say):
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
        (4, h + 3), "%d frames %s. Ring: start; disc: end; arrow: where it left the "
        "picture. Older parts fainter; grey: the field's border." % (
            len(run.frames),
            "in %.1f s" % run.seconds if not run.step else "of %d ms each" % run.step),
        fill=(200, 200, 200), font=ImageFont.load_default())
    partial = file + ".part"
    picture.save(partial, "PNG", optimize=True)
    os.replace(partial, file)
    say("wrote %s, %s" % (file, size_of(file)))
