# SPDX-License-Identifier: MIT
"""Reading what a program drew: the blue areas of a picture, how many creatures of the
creature's shape explain them, where a shape drawn in the world lands on the window's
pixels, and how far a picture is from a given set of creatures.

Pictures are PIL images of the window, rows counting from the top.
"""

import math
from collections import namedtuple

from PIL import ImageChops

BLUE = (0, 0, 255)
BLACK = (0, 0, 0)

CREATURE = [(-3, -3), (-3, 3), (4, 4), (3, -3)]  # world units around a creature's position
# A creature covers 34 to 48 pixels in either projection, turned or not, and
# fits in 7 x 7 pixels unturned, 10 x 10 turned; the margins absorb edge rules.
CREATURE_PIXELS = (30, 50)


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


def creature_pixels(projection=FIELD):
    """The area of a creature in pixels of a projection."""
    pr = projection
    return abs(area(CREATURE)) * (pr.width / (pr.right - pr.left)) * (
        pr.height / (pr.top - pr.bottom))
