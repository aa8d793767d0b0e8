# SPDX-License-Identifier: MIT
"""Draws the same frames of a program through desktop OpenGL and through the web
platform's OpenGL subset on OpenGL ES 2 (both Mesa's, no display needed), and checks that
they are the same pictures, pixel for pixel.

    /usr/bin/python3 compare.py DESKTOP_DRAWER SUBSET_DRAWER [POPULATION]

Each drawer is draw_frames.cpp built against one of the two, and draws POPULATION
creatures when given; where frames differ, both are kept as PNGs for a look. The subset
must show each frame in one draw, however many shapes: a draw for each shape held a
browser to a few frames a second at ten thousand creatures.
"""

import os
import re
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops

SIZE = (800, 600)
HEADER = b"P6\n800 600\n255\n"
BLUE = b"\x00\x00\xff"
DRAWS = re.compile(r"^(\d+) draws of (\d+) shapes$", re.M)


def frames(drawer, folder, population):
    """The frames `drawer` draws, and (draws, shapes) of each."""
    path = os.path.join(folder, os.path.basename(drawer) + ".ppm")
    run = subprocess.run([drawer, path] + population, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True)
    if run.returncode:
        sys.exit("%s failed with status %d:\n%s" % (drawer, run.returncode, run.stderr))
    with open(path, "rb") as f:
        data = f.read()
    size = len(HEADER) + SIZE[0] * SIZE[1] * 3
    if not data or len(data) % size:
        sys.exit("%s wrote %d bytes, not whole frames" % (drawer, len(data)))
    # Read back from the bottom row up, as OpenGL counts them.
    return ([Image.frombytes("RGB", SIZE, data[i + len(HEADER):i + size]).transpose(
        Image.Transpose.FLIP_TOP_BOTTOM) for i in range(0, len(data), size)],
            [(int(d), int(s)) for d, s in DRAWS.findall(run.stderr)])


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    folder = tempfile.mkdtemp(prefix="gl-compare-")
    (desktop, _), (subset, draws) = (frames(drawer, folder, sys.argv[3:])
                                     for drawer in sys.argv[1:3])
    if len(desktop) != len(subset) or len(draws) != len(subset):
        sys.exit("%d frames against %d (%d counted)" % (len(desktop), len(subset), len(draws)))
    for n, (made, shapes) in enumerate(draws):
        if made != 1:
            sys.exit("frame %d: the subset drew %d shapes in %d draws" % (n, shapes, made))
    differ = []
    for n, (a, b) in enumerate(zip(desktop, subset)):
        # Two drawers that drew nothing would agree: every frame shows creatures.
        if a.tobytes().count(BLUE) < 1000:
            sys.exit("frame %d of the desktop drawing shows hardly any creatures" % n)
        box = ImageChops.difference(a, b).getbbox()
        if box:
            changed = sum(1 for p in ImageChops.difference(a, b).getdata() if p != (0, 0, 0))
            a.save(os.path.join(folder, "desktop-%d.png" % n))
            b.save(os.path.join(folder, "subset-%d.png" % n))
            differ.append("frame %d: %d pixels within %s" % (n, changed, box))
    if differ:
        sys.exit("the subset draws otherwise than desktop OpenGL (pictures in %s):\n%s"
                 % (folder, "\n".join(differ)))
    print("%d frames, identical" % len(desktop))
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    os.rmdir(folder)


if __name__ == "__main__":
    main()
