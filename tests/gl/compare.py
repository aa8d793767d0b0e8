# SPDX-License-Identifier: MIT
"""Draws the same frames of a program through desktop OpenGL and through the web
platform's OpenGL subset on OpenGL ES 2 (both Mesa's, no display needed), and checks that
they are the same pictures, pixel for pixel.

    /usr/bin/python3 compare.py DESKTOP_DRAWER SUBSET_DRAWER

Each drawer is draw_frames.cpp built against one of the two; where frames differ, both
are kept as PNGs for a look.
"""

import os
import subprocess
import sys
import tempfile

from PIL import Image, ImageChops

SIZE = (800, 600)
HEADER = b"P6\n800 600\n255\n"
BLUE = b"\x00\x00\xff"


def frames(drawer, folder):
    path = os.path.join(folder, os.path.basename(drawer) + ".ppm")
    subprocess.run([drawer, path], check=True, stdout=subprocess.DEVNULL)
    with open(path, "rb") as f:
        data = f.read()
    size = len(HEADER) + SIZE[0] * SIZE[1] * 3
    if not data or len(data) % size:
        sys.exit("%s wrote %d bytes, not whole frames" % (drawer, len(data)))
    # Read back from the bottom row up, as OpenGL counts them.
    return [Image.frombytes("RGB", SIZE, data[i + len(HEADER):i + size]).transpose(
        Image.Transpose.FLIP_TOP_BOTTOM) for i in range(0, len(data), size)]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    folder = tempfile.mkdtemp(prefix="gl-compare-")
    desktop, subset = (frames(drawer, folder) for drawer in sys.argv[1:])
    if len(desktop) != len(subset):
        sys.exit("%d frames against %d" % (len(desktop), len(subset)))
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
