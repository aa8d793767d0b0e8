# SPDX-License-Identifier: MIT
"""Runs a real program in a real X server and looks at what it shows.

Every test of a program goes through here: start it with its standard output
captured, find its window, take screenshots, close it the way a user or a
window manager would, send it signals and key presses, and collect its exit
status and output.

Each test process starts an X server of its own (xvfb.sh) on first use, so
tests run side by side without covering each other's windows, and a test file
also runs by hand:
    /usr/bin/python3 test_timed.py path/to/moblings_timed [TestClass]

A program's test file is a few unittest classes over ProgramTestCase, ending
with `harness.main()`; CMakeLists.txt registers it with add_e2e_test.
"""

import atexit
import math
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from collections import namedtuple

from PIL import Image, ImageChops
from Xlib import X, XK, display as xdisplay, error as xerror, protocol
from Xlib.ext import xtest

WINDOW_TIMEOUT = 20.0   # s: how long a program may take to show its window
EXIT_TIMEOUT = 20.0     # s: how long it may take to end once told to

BLUE = (0, 0, 255)
BLACK = (0, 0, 0)

_HERE = os.path.dirname(os.path.abspath(__file__))
_private_server = None


def display_name():
    """The DISPLAY of this process's X server, e.g. ':3', started on first use and
    stopped when the process ends."""
    global _private_server
    if _private_server is None:
        _private_server = os.path.join(tempfile.mkdtemp(prefix="e2e-xvfb-"), "state")
        subprocess.run(["sh", os.path.join(_HERE, "xvfb.sh"), "start", _private_server],
                       check=True, stdout=subprocess.DEVNULL)
        atexit.register(subprocess.run,
                        ["sh", os.path.join(_HERE, "xvfb.sh"), "stop", _private_server])
    with open(_private_server) as f:
        return ":" + f.read().split()[0]


def _default_signals():
    # Whoever started us may have left SIGINT ignored (a shell does so for
    # background jobs), and an ignored signal stays ignored across exec.
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    signal.signal(signal.SIGTERM, signal.SIG_DFL)


def program_env(driver="x11", display=None, extra=None):
    """The environment for a program under test.

    The video driver is always explicit: left to choose, SDL falls back to
    drivers that never fail cleanly or never show a window.
    """
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("SDL_") and k != "DISPLAY"}
    env["SDL_VIDEODRIVER"] = driver
    if display:
        env["DISPLAY"] = display
    env.update(extra or {})
    return env


def _capture():
    """A file for a child's output, as (ours, the child's). The child writes through a
    descriptor of its own, opened for appending, and we read through ours: a file shared
    as one descriptor shares its position, so a read of ours while the program runs would
    move where its next line lands."""
    ours = tempfile.TemporaryFile()
    return ours, open("/proc/self/fd/%d" % ours.fileno(), "ab")


def _read_all(f):
    fd = f.fileno()
    return os.pread(fd, os.fstat(fd).st_size, 0).decode(errors="replace")


class Program:
    """One run of a program under test; use it as a context manager so that a
    failing test never leaves it running into the next one."""

    def __init__(self, path, driver="x11", env=None, args=(), display=None):
        self.path = os.path.abspath(path)
        self.name = os.path.basename(self.path)
        self.display = display if display is not None else (
            display_name() if driver == "x11" else None)
        # Files, not pipes: nothing blocks however much the program writes.
        self._out, out = _capture()
        self._err, err = _capture()
        try:
            self.proc = subprocess.Popen(
                [self.path, *args], stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                env=program_env(driver, self.display, env), preexec_fn=_default_signals)
        finally:
            out.close()
            err.close()
        self._x = None
        self.window = None

    # -- lifetime -----------------------------------------------------------

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def kill(self):
        """Ends the program at once if it still runs; its output stays readable."""
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self._x is not None:
            self._x.close()
            self._x = None

    def close(self):
        """Ends the program if need be and lets go of everything."""
        self.kill()
        self._out.close()
        self._err.close()

    def running(self):
        return self.proc.poll() is None

    def output(self):
        """What the program has written so far: (stdout, stderr)."""
        return _read_all(self._out), _read_all(self._err)

    def describe(self):
        out, err = self.output()
        status = self.proc.poll()
        return "%s %s\n--- stdout ---\n%s--- stderr (tail) ---\n%s" % (
            self.name, "still running" if status is None else "exited with %s" % status,
            out, err[-2000:])

    def wait(self, timeout=EXIT_TIMEOUT):
        """Waits for the end; returns (exit status, stdout)."""
        try:
            self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            raise AssertionError("%s did not end within %.0f s\n%s"
                                 % (self.name, timeout, self.describe()))
        if self._x is not None:
            self._x.close()
            self._x = None
        return self.proc.returncode, self.output()[0]

    def signal(self, signum):
        self.proc.send_signal(signum)

    # -- the window ---------------------------------------------------------

    def x(self):
        if self._x is None:
            self._x = xdisplay.Display(self.display)
        return self._x

    def _candidates(self):
        root = self.x().screen().root
        pid_atom = self.x().intern_atom("_NET_WM_PID")
        stack = list(root.query_tree().children)
        while stack:
            w = stack.pop()
            try:
                stack.extend(w.query_tree().children)
                cls = w.get_wm_class()
                if not cls or self.name not in cls:
                    continue
                pid = w.get_full_property(pid_atom, X.AnyPropertyType)
                if pid is not None and pid.value[0] != self.proc.pid:
                    continue  # someone else's window of the same name
                if w.get_attributes().map_state != X.IsViewable:
                    continue
                yield w
            except xerror.XError:
                continue  # gone while we looked

    def wait_window(self, timeout=WINDOW_TIMEOUT):
        """Waits until the program's window (found by WM_CLASS) is mapped."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if not self.running():
                raise AssertionError("%s ended before showing a window\n%s"
                                     % (self.name, self.describe()))
            found = list(self._candidates())
            if found:
                self.window = found[0]
                return self.window
            time.sleep(0.05)
        raise AssertionError("no window of class %r within %.0f s\n%s"
                             % (self.name, timeout, self.describe()))

    def window_size(self):
        g = self.window.get_geometry()
        return g.width, g.height

    def screenshot(self):
        """The window's content as an RGB image."""
        g = self.window.get_geometry()
        raw = self.window.get_image(0, 0, g.width, g.height, X.ZPixmap, 0xFFFFFFFF)
        return _to_rgb(self.x(), raw, g.width, g.height)

    def screenshot_when(self, accept, what="the expected picture", timeout=WINDOW_TIMEOUT):
        """The first screenshot for which accept(image) holds: the window is
        mapped a moment before the first frame is on it."""
        deadline = time.monotonic() + timeout
        img = None
        while time.monotonic() < deadline:
            img = self.screenshot()
            if accept(img):
                return img
            time.sleep(0.05)
        raise AssertionError("the window never showed %s in %.0f s\n%s"
                             % (what, timeout, self.describe()))

    def close_window(self):
        """What a window manager sends when the user clicks the close button."""
        d = self.x()
        protocols = d.intern_atom("WM_PROTOCOLS")
        delete = d.intern_atom("WM_DELETE_WINDOW")
        ev = protocol.event.ClientMessage(window=self.window, client_type=protocols,
                                          data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        self.window.send_event(ev, event_mask=X.NoEventMask)
        d.sync()  # a bare flush can lose the event when the connection closes

    def press_keys(self, names):
        """Types keys (keysym names such as 'Escape', 'a') into the window the
        way a keyboard does: XTest events, after giving the window focus."""
        d = self.x()
        w, h = self.window_size()
        self.window.set_input_focus(X.RevertToParent, X.CurrentTime)
        self.window.warp_pointer(w // 2, h // 2)
        d.sync()
        for name in names:
            keysym = XK.string_to_keysym(name)
            code = d.keysym_to_keycode(keysym)
            if not keysym or not code:
                raise ValueError("no key for %r" % name)
            xtest.fake_input(d, X.KeyPress, code)
            xtest.fake_input(d, X.KeyRelease, code)
            d.sync()
            time.sleep(0.05)


def _to_rgb(d, raw, width, height):
    depth = raw.depth
    fmt = next(f for f in d.display.info.pixmap_formats if f.depth == depth)
    if depth != 24 or fmt.bits_per_pixel != 32:
        raise AssertionError("unexpected window format: depth %d, %d bits per pixel"
                             % (depth, fmt.bits_per_pixel))
    order = "BGRX" if d.display.info.image_byte_order == X.LSBFirst else "XRGB"
    return Image.frombytes("RGB", (width, height), raw.data, "raw", order)


def run(path, driver, env=None, display=None, timeout=EXIT_TIMEOUT):
    """Runs a program that is expected to end by itself; returns
    (exit status, stdout)."""
    with Program(path, driver=driver, env=env, display=display) as p:
        return p.wait(timeout)


# -- looking at pictures ----------------------------------------------------

class Component(namedtuple("Component", "pixels left top right bottom points")):
    """A connected area: its pixel count, bounding box (inclusive) and the
    set of its (column, row) pixels."""

    width = property(lambda c: c.right - c.left + 1)
    height = property(lambda c: c.bottom - c.top + 1)

    def __repr__(self):
        return "Component(%d pixels, %dx%d at %d,%d)" % (
            self.pixels, self.width, self.height, self.left, self.top)


def _pixels_of(img, colour):
    """The indices (row * width + column) of the pixels of exactly `colour`.
    The bands are compared in PIL and the few matches found with bytes.find:
    a loop over every pixel in Python would cost a fifth of a second a
    picture."""
    bands = [band.point([255 if v == want else 0 for v in range(256)])
             for band, want in zip(img.convert("RGB").split(), colour)]
    mask = ImageChops.multiply(ImageChops.multiply(bands[0], bands[1]), bands[2]).tobytes()
    found, i = set(), mask.find(255)
    while i >= 0:
        found.add(i)
        i = mask.find(255, i + 1)
    return found


def components(img, colour=BLUE):
    """Connected areas of exactly `colour`, largest first. Diagonal neighbours
    count as connected: the sharp corner of a small quad is often a pixel
    that touches the rest only diagonally."""
    w, h = img.size
    todo = _pixels_of(img, colour)
    found = []
    while todo:
        seed = todo.pop()
        stack, members = [seed], [seed]
        while stack:
            p = stack.pop()
            x, y = p % w, p // w
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    q = p + dy * w + dx
                    if 0 <= x + dx < w and 0 <= y + dy < h and q in todo:
                        todo.remove(q)
                        stack.append(q)
                        members.append(q)
        xs = [m % w for m in members]
        ys = [m // w for m in members]
        found.append(Component(len(members), min(xs), min(ys), max(xs), max(ys),
                               frozenset(zip(xs, ys))))
    found.sort(key=lambda c: -c.pixels)
    return found


def stray_pixels(img, allowed=(BLACK, BLUE), limit=10):
    """Up to `limit` pixels whose colour is not one of `allowed`, as
    ((x, y), colour); an empty list when the picture is clean."""
    w = img.size[0]
    allowed = set(allowed)
    if all(c in allowed for _, c in img.getcolors(img.size[0] * img.size[1])):
        return []
    stray = []
    for i, px in enumerate(img.getdata()):
        if px not in allowed:
            stray.append(((i % w, i // w), px))
            if len(stray) >= limit:
                break
    return stray


Census = namedtuple("Census", "shapes lone merged clipped problems")


def _creatures_in(c, size, max_pixels, max_side):
    """The fewest creatures that could make area `c`, and whether the
    window's edge cuts it."""
    k = max(-(-c.pixels // max_pixels), -(-c.width // max_side), -(-c.height // max_side))
    w, h = size
    return k, c.left == 0 or c.top == 0 or c.right == w - 1 or c.bottom == h - 1


def census(img, min_pixels, max_pixels, max_side, colour=BLUE):
    """Counts the creatures of one size in a picture.

    A creature is min_pixels..max_pixels pixels that fit in max_side x
    max_side. Touching creatures merge into one area, counted as the fewest
    creatures that could make it; an area cut by the window's edge may be any
    size. `shapes` is the total, `problems` lists areas no creature explains.
    """
    lone = merged = clipped = 0
    problems = []
    for c in components(img, colour):
        k, cut = _creatures_in(c, img.size, max_pixels, max_side)
        if cut:
            clipped += k
        elif c.pixels < min_pixels:
            problems.append("too small for a creature: %s" % (c,))
        elif k == 1:
            lone += 1
        else:
            merged += k
    return Census(lone + merged + clipped, lone, merged, clipped, problems)


def lone_shapes(img, min_pixels, max_pixels, max_side, colour=BLUE):
    """The areas that census counts as one creature standing alone: the ones
    whose shape can be checked."""
    return [c for c in components(img, colour)
            if c.pixels >= min_pixels
            and _creatures_in(c, img.size, max_pixels, max_side) == (1, False)]


class Projection(namedtuple("Projection", "left right bottom top width height")):
    """An orthographic projection of the world onto the whole window.

    Image coordinates: pixel (c, r) covers [c, c+1) x [r, r+1), rows counting
    from the top while OpenGL counts from the bottom."""

    def to_image(self, x, y):
        return ((x - self.left) * self.width / (self.right - self.left),
                self.height - (y - self.bottom) * self.height / (self.top - self.bottom))

    def to_world(self, c, r):
        return (self.left + c * (self.right - self.left) / self.width,
                self.bottom + (self.height - r) * (self.top - self.bottom) / self.height)


FIELD = Projection(-10, 810, -10, 610, 800, 600)     # the field plus a margin
CENTRED = Projection(-400, 400, -300, 300, 800, 600)  # world (0,0) mid-window, 1 unit a pixel


def turned(corners, degrees):
    """`corners` turned about the origin as glRotatef turns them:
    counter-clockwise for positive degrees, y upwards."""
    a = math.radians(degrees)
    ca, sa = math.cos(a), math.sin(a)
    return [(x * ca - y * sa, x * sa + y * ca) for x, y in corners]


def placed(corners, x, y, degrees=0.0):
    """The world polygon of a shape drawn at (x, y), turned by `degrees`."""
    return [(x + a, y + b) for a, b in turned(corners, degrees)]


def rasterise(polygon, projection=FIELD, margin=0.0):
    """The pixels OpenGL fills for a convex world polygon: those whose centre
    lies inside it (llvmpipe agrees pixel for pixel).

    With a margin (in pixels), the polygon is first grown (margin > 0) or
    shrunk (margin < 0): the pixels it may fill and those it surely fills when
    its corners are known only that closely."""
    pts = [projection.to_image(x, y) for x, y in polygon]
    edges = list(zip(pts, pts[1:] + pts[:1]))
    # Twice the signed area: its sign says which side of each edge is inside.
    inward = 1 if sum(ax * by - bx * ay for (ax, ay), (bx, by) in edges) > 0 else -1
    lines = []
    for (ax, ay), (bx, by) in edges:
        length = math.hypot(bx - ax, by - ay) * inward
        if length:
            lines.append((ax, ay, (bx - ax) / length, (by - ay) / length))
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    grow = max(0, int(math.ceil(margin)))
    drawn = set()
    for c in range(int(min(xs)) - 1 - grow, int(max(xs)) + 1 + grow):
        px = c + 0.5
        for r in range(int(min(ys)) - 1 - grow, int(max(ys)) + 1 + grow):
            py = r + 0.5
            # The centre's distance inside each edge.
            for ax, ay, dx, dy in lines:
                if dx * (py - ay) - dy * (px - ax) <= -margin:
                    break
            else:
                drawn.add((c, r))
    return drawn


# A corner's place on screen is known only so closely (the rasteriser's own
# precision, the six digits of a reported angle): a pixel whose centre lies that
# near an edge may go either way. In 90 pictures about 30 pixels did, every one
# within 0.001 pixels of an edge.
DRAWN_SLACK = 0.004  # pixels


def misdrawn(img, creatures, projection, slack=DRAWN_SLACK):
    """How a picture differs from creatures [(x, y, degrees or None)] drawn in
    it: (pixels they surely cover that are not blue, blue pixels they cannot
    cover), both empty when the picture is exactly those creatures. `slack`: how
    far from an edge, in pixels, the rasteriser may put a pixel either way."""
    sure, maybe = set(), set()
    for x, y, degrees in creatures:
        shape = placed(CREATURE, x, y, degrees or 0.0)
        sure |= rasterise(shape, projection, -slack)
        maybe |= rasterise(shape, projection, slack)
    w, h = img.size
    blue = set().union(*(c.points for c in components(img)))
    return (sorted((c, r) for c, r in sure - blue if 0 <= c < w and 0 <= r < h),
            sorted(blue - maybe))


def shape_mismatch(comp, corners, projection=FIELD, angle=0.0, reach=2.0, step=0.1):
    """How close `comp` comes to being the shape `corners` (world units around
    its position, turned by `angle` radians) drawn somewhere near where it
    is: the fewest pixels in one and not the other, 0 for a perfect fit."""
    ca, sa = math.cos(angle), math.sin(angle)
    shape = [(a * ca - b * sa, a * sa + b * ca) for a, b in corners]
    sx = sum(a for a, _ in shape) / len(shape)
    sy = sum(b for _, b in shape) / len(shape)
    mx, my = projection.to_world((comp.left + comp.right + 1) / 2, (comp.top + comp.bottom + 1) / 2)
    best = comp.pixels
    n = int(round(reach / step))
    for i in range(-n, n + 1):
        for j in range(-n, n + 1):
            x, y = mx - sx + i * step, my - sy + j * step
            drawn = rasterise([(x + a, y + b) for a, b in shape], projection)
            best = min(best, len(drawn ^ comp.points))
            if best == 0:
                return 0
    return best


def area(polygon):
    """The signed area of a polygon (positive counter-clockwise)."""
    return sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1)
               in zip(polygon, polygon[1:] + polygon[:1])) / 2


def _centroid(polygon):
    """The centre of area of a polygon."""
    cx = cy = 0.0
    for (x0, y0), (x1, y1) in zip(polygon, polygon[1:] + polygon[:1]):
        cross = x0 * y1 - x1 * y0
        cx += (x0 + x1) * cross
        cy += (y0 + y1) * cross
    a = area(polygon)
    return cx / (6 * a), cy / (6 * a)


def turned_mismatch(comp, corners, projection=FIELD):
    """How close `comp` comes to being the shape `corners` turned by any
    angle: (fewest pixels in one and not the other, degrees where that is).

    A full search over angle and position is far too slow here, so each
    angle puts the shape's centre of area on the pixels' centre, which is
    within a fraction of a pixel of right; the most promising angles are then
    refined in finer steps of angle, then of position, then of angle again."""
    cc = sum(c for c, _ in comp.points) / comp.pixels + 0.5
    cr = sum(r for _, r in comp.points) / comp.pixels + 0.5
    mx, my = projection.to_world(cc, cr)
    unit = (projection.right - projection.left) / projection.width  # world units a pixel

    def mismatch(degrees, dx=0.0, dy=0.0):
        shape = turned(corners, degrees)
        sx, sy = _centroid(shape)
        drawn = rasterise([(mx - sx + dx + a, my - sy + dy + b) for a, b in shape], projection)
        return len(drawn ^ comp.points)

    coarse = sorted((mismatch(d), d) for d in range(0, 360, 3))
    best = coarse[0]
    for _, around in coarse[:4]:
        # The angle first, then the place at that angle, then the angle there.
        _, degrees = min((mismatch(around + k * 0.5), around + k * 0.5) for k in range(-6, 7))
        _, dx, dy = min((mismatch(degrees, i * 0.1 * unit, j * 0.1 * unit), i * 0.1 * unit,
                         j * 0.1 * unit) for i in range(-3, 4) for j in range(-3, 4))
        m, degrees = min((mismatch(degrees + k * 0.5, dx, dy), degrees + k * 0.5)
                         for k in range(-2, 3))
        if m < best[0]:
            best = (m, degrees % 360)
            if m == 0:
                break
    return best


def program_path():
    """The program under test, as given to main()."""
    return os.environ["E2E_PROGRAM"]


class ProgramTestCase(unittest.TestCase):
    """Tests that run the program under test in the X server."""

    normal_output = None  # a subclass sets what a normal run prints

    def start(self, ready=lambda img: bool(components(img)), what="its first frame", **kw):
        """Starts the program and waits until its window shows what `ready`
        accepts; it is killed at the end of the test whatever happens."""
        p = Program(program_path(), **kw)
        self.addCleanup(p.close)
        p.wait_window()
        p.screenshot_when(ready, what)
        return p

    def assertEndsNormally(self, p):
        status, out = p.wait()
        self.assertEqual((status, out), (0, self.normal_output), p.describe())


# -- programs that show creatures ---------------------------------------------
#
# A test file describes its program by subclassing Timed or Untimed with the
# program's numbers, then makes the groups of tests below from that description
# with groups(), e.g. `globals().update(harness.groups(Herd))`.

CREATURE = [(-3, -3), (-3, 3), (4, 4), (3, -3)]  # world units around a creature's position
# A creature covers 34 to 48 pixels in either projection, turned or not, and
# fits in 7 x 7 pixels unturned, 10 x 10 turned; the margins absorb edge rules.
CREATURE_PIXELS = (30, 50)


class Creatures:
    """What a program shows and writes, for the test groups below."""

    population = 5
    projection = FIELD
    drawn_turned = False  # each shape turned by its creature's rotation
    moves = True
    start_lines = ""      # written before SDL starts
    end_lines = ""        # written once the frame loop is over

    @property
    def max_side(self):
        return 11 if self.drawn_turned else 8

    def check_end(self, text, failed=False):
        """Checks what the program wrote after its frame loop (`failed`: after
        SDL failed to start, when no frame ran)."""
        self.assertEqual(text, self.end_lines)

    def assertEndsNormally(self, p):
        """Waits for the end of a run that was told to end; returns what the
        program wrote after its frame loop."""
        status, out = p.wait()
        self.assertEqual(status, 0, p.describe())
        self.assertEqual(out[:len(self.start_lines)], self.start_lines, p.describe())
        end = out[len(self.start_lines):]
        self.check_end(end)
        return end

    def look_at(self, img):
        """Checks that a picture is black with at most the program's creatures on
        it; returns the fits of the lone ones [(component, mismatch, degrees)]."""
        self.assertEqual(stray_pixels(img), [], "colours other than black and pure blue")
        c = census(img, *CREATURE_PIXELS, self.max_side)
        self.assertEqual(c.problems, [])
        self.assertLessEqual(c.shapes, self.population, c)
        return [(comp, *self.fit(comp))
                for comp in lone_shapes(img, *CREATURE_PIXELS, self.max_side)]

    def assertShapesFit(self, fits):
        """Most lone shapes fit the creature's shape. Searching positions and
        angles in steps can miss the exact fit by a pixel or two, and two creatures
        right on top of each other look like one misshapen one; a wrong shape
        misfits nearly every time."""
        tolerance = 2 if self.drawn_turned else 1
        misfits = [f for f in fits if f[1] > tolerance]
        self.assertLessEqual(len(misfits), len(fits) // 10,
                             "not the creature's shape: %s" % misfits)

    def fit(self, comp):
        """(pixels that differ from the creature's shape, turned by how many
        degrees) for a lone shape."""
        if self.drawn_turned:
            return turned_mismatch(comp, CREATURE, self.projection)
        return shape_mismatch(comp, CREATURE, self.projection), 0.0


class Timed(Creatures):
    end_lines = "moved: \n"


class Untimed(Creatures):
    @property
    def start_lines(self):
        return "spawning!\n" * self.population


class PictureTests(ProgramTestCase):
    """The window: black, with blue creatures of the right shape."""

    def look(self, wanted=12, runs=3, shots=40):
        """Fits lone shapes from screenshots until `wanted` have been seen,
        checking each whole picture on the way; returns [(component,
        mismatch, degrees)]. Creatures that stand at the window's edge, or
        have walked off it, cannot be checked: when a run shows too few, the
        next one, a second later, has other random places."""
        fits = []
        for _ in range(runs):
            started = time.monotonic()
            p = self.start()
            self.assertEqual(p.window_size(), (800, 600))
            for _ in range(shots):
                fits += self.look_at(p.screenshot())
                if len(fits) >= wanted or not self.moves:  # a still picture shows nothing new
                    break
                time.sleep(0.1)
            p.close_window()
            self.assertEndsNormally(p)
            if len(fits) >= wanted:
                return fits
            # The seed is the second the program starts in.
            time.sleep(max(0.0, started + 1.1 - time.monotonic()))
        self.fail("only %d lone creatures seen in %d runs" % (len(fits), runs))

    def test_black_window_with_blue_creatures_of_their_shape(self):
        self.assertShapesFit(self.look())

    def test_creatures_cover_their_area(self):
        """Over many creatures at random places, a shape covers on average
        as many pixels as the creature's area in pixels. The projections
        differ there by 2.4 pixels: the field's has 0.98 x 0.97 pixels a world
        unit, the centred one 1 x 1."""
        if self.population < 10 or not self.moves:
            self.skipTest("needs many creatures at random places")
        p = self.start()
        counts = []
        for _ in range(40):
            counts += [c.pixels for c in
                       lone_shapes(p.screenshot(), *CREATURE_PIXELS, self.max_side)]
            if len(counts) >= 150:
                break
            time.sleep(0.1)
        p.close_window()
        self.assertEndsNormally(p)
        self.assertGreaterEqual(len(counts), 150)
        pr = self.projection
        expected = abs(area(CREATURE)) * (pr.width / (pr.right - pr.left)) * (
            pr.height / (pr.top - pr.bottom))
        # A shape's count varies by about 2.5 pixels: the mean of 150 lies
        # within 0.2 of the area but for a one-in-a-million run.
        self.assertAlmostEqual(sum(counts) / len(counts), expected, delta=1.1)

    def test_motion(self):
        p = self.start()
        first = p.screenshot()
        if self.moves:
            p.screenshot_when(lambda img: img.tobytes() != first.tobytes(), "any movement")
        else:
            for _ in range(5):
                time.sleep(0.2)
                self.assertEqual(p.screenshot().tobytes(), first.tobytes(),
                                 "the still creatures moved")
        p.close_window()
        self.assertEndsNormally(p)


class ClosingTests(ProgramTestCase):
    """Every way of ending a run ends it normally."""

    def test_window_close_request(self):
        p = self.start()
        p.close_window()
        self.assertEndsNormally(p)

    def test_sigterm(self):
        p = self.start()
        p.signal(signal.SIGTERM)
        self.assertEndsNormally(p)

    def test_sigint(self):
        p = self.start()
        p.signal(signal.SIGINT)
        self.assertEndsNormally(p)


class FailureTests(unittest.TestCase):
    """SDL failing to start: no window, a message, status 1."""

    def assertFails(self, driver, message):
        status, out = run(program_path(), driver)
        self.assertEqual(status, 1, out)
        expected = self.start_lines + message + "\nError initializing SDL\n"
        self.assertEqual(out[:len(expected)], expected)
        self.check_end(out[len(expected):], failed=True)

    def test_no_video_driver(self):
        self.assertFails("nosuchdriver", "error init-ing sdl video")

    def test_no_opengl_video_mode(self):
        self.assertFails("dummy", "error setting video mode")


def groups(kind, **own):
    """The test groups every program has, for the program `kind` describes, named as
    CMakeLists.txt registers them: Picture, Closing and Failures. A keyword gives a group
    a class of tests of the program's own, e.g. groups(Spin, Picture=TurnedEveryWay)."""
    shared = {"Picture": PictureTests, "Closing": ClosingTests, "Failures": FailureTests}
    return {name: type(name, tuple(filter(None, (own.get(name), kind, tests))), {})
            for name, tests in shared.items()}


def main():
    """Entry point for a test file: argv[1] is the program, the rest goes to
    unittest (e.g. a test class name to run only that group)."""
    if len(sys.argv) < 2:
        sys.exit("usage: %s PROGRAM [unittest arguments]" % sys.argv[0])
    program = os.path.abspath(sys.argv[1])
    if not os.access(program, os.X_OK):
        sys.exit("not an executable program: %s" % program)
    os.environ["E2E_PROGRAM"] = program
    unittest.main(module="__main__", argv=[sys.argv[0], "-v", *sys.argv[2:]])
