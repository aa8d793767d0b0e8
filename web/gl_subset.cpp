// SPDX-License-Identifier: MIT
// The fixed-function OpenGL 1.x calls the renderer makes, on OpenGL ES 2 (WebGL in a
// browser), which has no matrix stacks and no immediate mode. The matrices are kept here
// and multiplied in single precision in the order Mesa multiplies them. The quads are not
// handed to the GPU: each is filled into a picture on the processor as Mesa's llvmpipe
// fills it on the desktop (its vertex arithmetic, its clipper, corners snapped to 1/256 of
// a pixel, its rule for a pixel centre on an edge), and the picture is shown in one draw at
// glFlush (the renderer flushes before it swaps). So a page draws the desktop's pixels
// whatever GPU the browser has; and a browser without one, which draws triangles in
// software a microsecond each, shows a hundred thousand creatures four times as fast as
// from a few large draws. Where each shape is placed is kept for the page (drawn.h), in
// the passes the page runs without showing them too, which draw nothing.
#include "drawn.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GLES2/gl2.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Column-major, as OpenGL keeps matrices: element (row, col) is at [col * 4 + row].
struct matrix {
    GLfloat M[16];
};

const matrix IDENTITY = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

// The smallest depths OpenGL promises; a push beyond them is ignored, as GL ignores it.
const int MODELVIEW_DEPTH = 32;
const int PROJECTION_DEPTH = 2;

struct stack {
    matrix Levels[MODELVIEW_DEPTH];
    // Which change last set each level's first three columns: only a move leaves them.
    std::uint64_t Made[MODELVIEW_DEPTH];
    int Top;
    int Depth;
};

// A corner as glVertex2f gives it, in the colour of the last glColor3f (whose alpha is 1)
// as an 8-bit framebuffer keeps it: red, green, blue and alpha from the lowest byte up.
struct vertex {
    GLfloat X, Y;
    std::uint32_t Colour;
};

// The picture, filled on the processor and shown in one draw; its rows bottom first, as a
// texture takes them.
struct picture {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Pixels;
};

struct state {
    stack Modelview = {{IDENTITY}, {}, 0, MODELVIEW_DEPTH};
    stack Projection = {{IDENTITY}, {}, 0, PROJECTION_DEPTH};
    std::uint64_t Changes = 0; // the matrices' changes but moves, counted
    stack* Current = &Modelview;
    std::uint32_t Colour = 0xffffffff;
    std::uint32_t Clear = 0;
    bool Inside = false;  // between glBegin(GL_QUADS) and glEnd, in a pass that is seen
    bool Placing = false; // since a glTranslatef, before the next glBegin
    // Between glBegin and glEnd: the whole transform, which OpenGL lets nothing change
    // there, and the corners given since the last whole quad, `Given` of them. Each quad
    // is drawn as its last corner comes.
    matrix Transform = IDENTITY;
    std::uint64_t TransformMade[2] = {}; // the projection's and modelview's Made it is of
    vertex Quad[4] = {};
    int Given = 0;
    picture Picture;
    // Made on the first showing, once a context is current.
    GLuint Program = 0;
    GLuint Texture = 0;
    GLuint Corners = 0;
};

state& gl() {
    static state s;
    return s;
}

matrix& top() {
    stack& s = *gl().Current;
    return s.Levels[s.Top];
}

// The top matrix, about to be changed other than by a move.
matrix& changedTop() {
    stack& s = *gl().Current;
    s.Made[s.Top] = ++gl().Changes;
    return s.Levels[s.Top];
}

bool affine(const matrix& m) {
    return m.M[3] == 0 && m.M[7] == 0 && m.M[11] == 0 && m.M[15] == 1;
}

// The last column of multiply's product of two matrices whose bottom rows are 0, 0, 0, 1.
void moveColumn(const matrix& a, const matrix& b, matrix& p) {
    for (int row = 0; row < 3; row++) {
        p.M[12 + row] =
            a.M[row] * b.M[12] + a.M[4 + row] * b.M[13] + a.M[8 + row] * b.M[14] + a.M[12 + row];
    }
}

// a x b, each element summed in the order desktop OpenGL sums it, in single precision.
// Where both keep a bottom row of 0, 0, 0, 1, as the renderer's all do, so does their
// product, and as Mesa multiplies such matrices, the terms it would multiply by those 0s
// and 1 are left out: they change no sum.
matrix multiply(const matrix& a, const matrix& b) {
    matrix p;
    if (affine(a) && affine(b)) {
        for (int row = 0; row < 3; row++) {
            for (int col = 0; col < 3; col++) {
                p.M[col * 4 + row] = a.M[row] * b.M[col * 4] + a.M[4 + row] * b.M[col * 4 + 1] +
                                     a.M[8 + row] * b.M[col * 4 + 2];
            }
        }
        moveColumn(a, b, p);
        p.M[3] = p.M[7] = p.M[11] = 0;
        p.M[15] = 1;
        return p;
    }
    for (int row = 0; row < 4; row++) {
        for (int col = 0; col < 4; col++) {
            p.M[col * 4 + row] = a.M[row] * b.M[col * 4] + a.M[4 + row] * b.M[col * 4 + 1] +
                                 a.M[8 + row] * b.M[col * 4 + 2] + a.M[12 + row] * b.M[col * 4 + 3];
        }
    }
    return p;
}

void multiplyTop(const matrix& m) {
    changedTop() = multiply(top(), m);
}

// The picture as large as the viewport the context started with; the renderer never sets
// another.
picture& canvas() {
    picture& p = gl().Picture;
    if (p.Pixels.empty()) {
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        p.Width = viewport[2];
        p.Height = viewport[3];
        // Three more pixels than it shows, for fillFour's lanes past the last.
        p.Pixels.assign(static_cast<std::size_t>(p.Width) * p.Height + 3, gl().Clear);
    }
    return p;
}

// A colour channel as an 8-bit framebuffer keeps it.
std::uint32_t channel(GLfloat c) {
    return static_cast<std::uint32_t>(std::nearbyint(std::clamp(c, 0.0F, 1.0F) * 255.0F));
}

std::uint32_t rgba(const GLfloat* c) {
    return channel(c[0]) | channel(c[1]) << 8 | channel(c[2]) << 16 | channel(c[3]) << 24;
}

// In 1/256ths of a pixel, as llvmpipe snaps a corner.
const std::int64_t SUBPIXELS = 256;

// Past this far outside the window no corner is snapped: a corner that far out, or not
// finite, has a triangle that the clipper cuts down or throws away before it is drawn, and
// made a whole number it could overflow.
const GLfloat FARTHEST = 1 << 20;

// A corner on its way to the picture: where the transform puts it (x, y, z, w), the sides
// of clip space it is beyond, and where it is in the window, x to the right and y down as
// Mesa turns a window's, snapped to the nearest 1/256th of a pixel from the centre of the
// top-left pixel. Near is false where it is too far out to snap.
struct corner {
    GLfloat Clip[4];
    unsigned Outside;
    std::int32_t At[2];
    bool Near;
};

// How far inside each side of clip space a corner is, the sides in the order they cut a
// triangle: x <= w, x >= -w, y <= w, y >= -w, z >= -w, z <= w. As Mesa's clipper sums
// each, x, y, z and w times the side's -1, 0 or 1: for a corner at a finite place the
// zeros add nothing, and one rounding is left.
GLfloat inside(const corner& c, int side) {
    const GLfloat x = c.Clip[0], y = c.Clip[1], z = c.Clip[2], w = c.Clip[3];
    const GLfloat distances[] = {w - x, x + w, w - y, y + w, z + w, w - z};
    return distances[side];
}

// The corner at its place in the window (x, y), as the rasteriser takes it.
void snap(corner& c, GLfloat x, GLfloat y) {
    // Whether inside(c, side) < 0, side by side, without the sums: a sum rounds to a number
    // of its own sign, and is 0 only where it is exactly.
    const GLfloat cx = c.Clip[0], cy = c.Clip[1], cz = c.Clip[2], w = c.Clip[3];
    c.Outside = unsigned{cx > w} | unsigned{cx < -w} << 1 | unsigned{cy > w} << 2 |
                unsigned{cy < -w} << 3 | unsigned{cz < -w} << 4 | unsigned{cz > w} << 5;
    c.Near = std::fabs(x) < FARTHEST && std::fabs(y) < FARTHEST;
    if (c.Near) {
        c.At[0] = static_cast<std::int32_t>(std::nearbyint((x - 0.5F) * SUBPIXELS));
        c.At[1] = static_cast<std::int32_t>(std::nearbyint((y - 0.5F) * SUBPIXELS));
    }
}

// a * b + c rounded once, as a fused multiply-add rounds it. Rounded first to double
// precision, where the product is exact, and then to a float, it rounds the same, except
// where the double falls exactly halfway between two floats without being exact, or the
// float is too small for a float's full precision; only then the C library's fmaf, slower,
// is asked.
GLfloat fused(GLfloat a, GLfloat b, GLfloat c) {
    double product = static_cast<double>(a) * b;
    double sum = product + c;
    std::uint64_t bits;
    std::memcpy(&bits, &sum, sizeof bits);
    if (((bits & 0x1fffffff) == 0x10000000 && !(sum - product == c && sum - c == product)) ||
        std::fabs(sum) < std::numeric_limits<GLfloat>::min()) {
        return std::fma(a, b, c);
    }
    return static_cast<GLfloat>(sum);
}

// Where llvmpipe's vertex pipeline puts a corner: the whole transform's rows times it as
// the vertex shader sums them (x's term, then y's fused with it, then z's, 0, which adds
// nothing to a finite sum, and w's, 1), then into the window times the reciprocal of w and
// one more fused multiply-add. Where the x or y term is 0, as one is in every row of an
// unturned shape's transform, the other is all the fused sum is: one product, rounded once.
corner place(const matrix& t, const vertex& v, GLfloat halfWidth, GLfloat halfHeight) {
    const GLfloat* m = t.M;
    corner c;
    for (int r = 0; r < 4; r++) {
        GLfloat terms = m[4 + r] == 0 ? m[r] * v.X
                        : m[r] == 0   ? m[4 + r] * v.Y
                                      : fused(m[4 + r], v.Y, m[r] * v.X);
        c.Clip[r] = terms + m[12 + r];
    }
    GLfloat x = c.Clip[0], y = c.Clip[1];
    // w is 1 under every transform the renderer makes, and x times 1 / 1 is x.
    if (c.Clip[3] != 1) {
        GLfloat reciprocal = 1.0F / c.Clip[3];
        x *= reciprocal;
        y *= reciprocal;
    }
    snap(c, fused(x, halfWidth, halfWidth), fused(y, -halfHeight, halfHeight));
    return c;
}

// A corner where the side cuts the edge from `in` to `out`, placed in the window as Mesa's
// clipper places it, without the fused multiply-add.
corner cut(GLfloat t, const corner& out, const corner& in, GLfloat halfWidth, GLfloat halfHeight) {
    corner c;
    for (int i = 0; i < 4; i++) {
        c.Clip[i] = out.Clip[i] + t * (in.Clip[i] - out.Clip[i]);
    }
    GLfloat reciprocal = 1.0F / c.Clip[3];
    snap(c, c.Clip[0] * reciprocal * halfWidth + halfWidth,
         c.Clip[1] * reciprocal * -halfHeight + halfHeight);
    return c;
}

// One edge of a triangle as the sum that is 0 on it and grows inwards, offset so that a
// pixel centre is inside exactly when the sum is at least 0: on the edge itself only where
// the edge is a left one, or a bottom one (level, the triangle above it), as llvmpipe
// decides it for a window's picture.
struct edge {
    std::int64_t StepX, StepY, AtOrigin;
};

edge edgeOf(const std::int32_t* from, const std::int32_t* to) {
    std::int64_t a = std::int64_t{from[1]} - to[1], b = std::int64_t{to[0]} - from[0];
    bool onIt = a > 0 || (a == 0 && b < 0);
    return {a * SUBPIXELS, b * SUBPIXELS, -a * from[0] - b * from[1] + (onIt ? 0 : -1)};
}

// The pixels whose centres a box of corners holds, within the picture, and whether it is
// at most SMALL across and down, corners outside the picture too.
struct box {
    std::int64_t Left, Right, Top, Bottom;
    bool Small;
};

// In 1/256ths of a pixel: 64 pixels. The edges' sums of triangles whose corners are in
// such a box, over a box of at most 64 pixels, fit in 32 bits.
const std::int64_t SMALL = 1 << 14;

// The box of `count` corners; false where it holds no pixel of the picture.
bool boxOf(const corner* const* corners, int count, box& b) {
    std::int32_t left = corners[0]->At[0], right = left;
    std::int32_t top = corners[0]->At[1], bottom = top;
    for (int i = 1; i < count; i++) {
        left = std::min(left, corners[i]->At[0]);
        right = std::max(right, corners[i]->At[0]);
        top = std::min(top, corners[i]->At[1]);
        bottom = std::max(bottom, corners[i]->At[1]);
    }
    // The first and last pixel centres at or past the lowest and highest corner.
    auto first = [](std::int64_t v) { return -((-v) >> 8); };
    auto last = [](std::int64_t v) { return v >> 8; };
    const picture& p = gl().Picture;
    b.Small = std::int64_t{right} - left <= SMALL && std::int64_t{bottom} - top <= SMALL;
    b.Left = std::max<std::int64_t>(first(left), 0);
    b.Right = std::min<std::int64_t>(last(right), p.Width - 1);
    b.Top = std::max<std::int64_t>(first(top), 0);
    b.Bottom = std::min<std::int64_t>(last(bottom), p.Height - 1);
    return b.Left <= b.Right && b.Top <= b.Bottom;
}

// Twice the area of the triangle a, b, c, positive where it turns as the rasteriser takes
// it unturned.
std::int64_t turn(const std::int32_t* a, const std::int32_t* b, const std::int32_t* c) {
    return (std::int64_t{b[0]} - a[0]) * (std::int64_t{c[1]} - a[1]) -
           (std::int64_t{b[1]} - a[1]) * (std::int64_t{c[0]} - a[0]);
}

// A triangle's edges as the rasteriser takes them, whichever way round it went; false
// where it has no area or a corner is too far out to snap.
bool edgesOf(const corner& a, const corner& b, const corner& c, edge* edges) {
    if (!(a.Near && b.Near && c.Near)) {
        return false;
    }
    const std::int32_t* at[] = {a.At, b.At, c.At};
    std::int64_t area = turn(at[0], at[1], at[2]);
    if (area == 0) {
        return false;
    }
    if (area < 0) {
        std::swap(at[1], at[2]);
    }
    for (int e = 0; e < 3; e++) {
        edges[e] = edgeOf(at[e], at[(e + 1) % 3]);
    }
    return true;
}

// A quad's four sides, each the way its half's edge goes, where they hold the pixel
// centres its two halves (corners 0, 1, 3 and 1, 2, 3) hold: four sums a pixel, not six.
// So they do where the quad is strictly convex, every turn from side to side the same way:
// the rule for a centre on an edge is that of a point moved right by a hair, then up by
// less, off every edge, and such a point is in one of the halves exactly when it is
// inside all four sides. False elsewhere.
bool sidesOf(const corner (&c)[4], edge* edges) {
    std::int64_t turns[4];
    for (int i = 0; i < 4; i++) {
        turns[i] = turn(c[i].At, c[(i + 1) % 4].At, c[(i + 2) % 4].At);
    }
    // As edgesOf takes a triangle that turns the positive way: unturned.
    bool forwards = turns[0] > 0 && turns[1] > 0 && turns[2] > 0 && turns[3] > 0;
    bool backwards = turns[0] < 0 && turns[1] < 0 && turns[2] < 0 && turns[3] < 0;
    if (!(forwards || backwards)) {
        return false;
    }
    for (int i = 0; i < 4; i++) {
        const corner &from = c[i], &to = c[(i + 1) % 4];
        edges[i] = forwards ? edgeOf(from.At, to.At) : edgeOf(to.At, from.At);
    }
    return true;
}

// A triangle as the rasteriser takes it, and its box.
struct triangle {
    edge Edges[3];
    box Box;
};

// False where the triangle covers no pixel.
bool triangleOf(const corner& a, const corner& b, const corner& c, triangle& t) {
    const corner* corners[] = {&a, &b, &c};
    return edgesOf(a, b, c, t.Edges) && boxOf(corners, 3, t.Box);
}

// Four pixels side by side, or four sums of them.
typedef std::int32_t four __attribute__((vector_size(16)));

// fill's rows four pixels at a time, the sums in 32 bits: a shape's few pixels across
// took most of a pass of a hundred thousand creatures one at a time. The lanes past the
// row's last pixel leave theirs as they were (the picture has room for them past its last).
void fillFour(std::uint32_t* first, std::ptrdiff_t width, std::int64_t x0, std::int64_t x1,
              std::int64_t rows, int count, const std::int64_t (&sums)[6],
              const std::int64_t (&stepX)[6], const std::int64_t (&stepY)[6],
              std::uint32_t colour) {
    const four across = {0, 1, 2, 3};
    four start[6] = {}, step[6] = {};
    for (int e = 0; e < count; e++) {
        start[e] =
            static_cast<std::int32_t>(sums[e]) + across * static_cast<std::int32_t>(stepX[e]);
        step[e] = four{} + static_cast<std::int32_t>(stepX[e] * 4);
    }
    const four shade = four{} + static_cast<std::int32_t>(colour);
    // Which lanes of the row's last four pixels are in the row.
    const std::int64_t lastFour = x0 + (x1 - x0) / 4 * 4;
    const four inRow =
        across + static_cast<std::int32_t>(lastFour) <= static_cast<std::int32_t>(x1);
    auto put = [&](std::uint32_t* at, four inside) {
        four was;
        std::memcpy(&was, at, sizeof was);
        four now = (shade & inside) | (was & ~inside);
        std::memcpy(at, &now, sizeof now);
    };
    for (std::int64_t y = 0; y < rows; y++) {
        std::uint32_t* row = first - y * width;
        four s0 = start[0], s1 = start[1], s2 = start[2], s3 = start[3], s4 = start[4],
             s5 = start[5];
        std::int64_t x = x0;
        if (count == 4) {
            for (; x < lastFour; x += 4) {
                put(row + x, (s0 | s1 | s2 | s3) >= 0);
                s0 += step[0];
                s1 += step[1];
                s2 += step[2];
                s3 += step[3];
            }
            put(row + x, ((s0 | s1 | s2 | s3) >= 0) & inRow);
        } else {
            for (; x < lastFour; x += 4) {
                put(row + x, ((s0 | s1 | s2) & (s3 | s4 | s5)) >= 0);
                s0 += step[0];
                s1 += step[1];
                s2 += step[2];
                s3 += step[3];
                s4 += step[4];
                s5 += step[5];
            }
            put(row + x, (((s0 | s1 | s2) & (s3 | s4 | s5)) >= 0) & inRow);
        }
        for (int e = 0; e < count; e++) {
            start[e] += static_cast<std::int32_t>(stepY[e]);
        }
    }
}

// Fills the pixels of the box whose centres a shape holds, in one pass over it: the
// shape is `count` edges, the first three one triangle's and the last three another's, or
// four, one convex shape's. A quad's two halves share most of their boxes.
void fill(const edge* edges, int count, const box& b, std::uint32_t colour) {
    picture& p = gl().Picture;
    std::int64_t x0 = b.Left, x1 = b.Right, y0 = b.Top, y1 = b.Bottom;
    // Each edge's sum at the box's first pixel, and its steps; none past `count`, whose
    // sums never change.
    std::int64_t sums[6] = {}, stepX[6] = {}, stepY[6] = {};
    for (int e = 0; e < count; e++) {
        const edge& d = edges[e];
        sums[e] = d.AtOrigin + d.StepX * x0 + d.StepY * y0;
        stepX[e] = d.StepX;
        stepY[e] = d.StepY;
    }
    // The picture's rows are bottom first.
    std::uint32_t* first = &p.Pixels[static_cast<std::size_t>(p.Height - 1 - y0) * p.Width];
    const std::ptrdiff_t width = p.Width;
    if (b.Small && x1 - x0 < SMALL / SUBPIXELS && y1 - y0 < SMALL / SUBPIXELS) {
        fillFour(first, width, x0, x1, y1 - y0 + 1, count, sums, stepX, stepY, colour);
        return;
    }
    for (std::int64_t y = y0; y <= y1; y++) {
        std::uint32_t* row = first - (y - y0) * width;
        std::int64_t s[6];
        std::copy(sums, sums + 6, s);
        for (std::int64_t x = x0; x <= x1; x++) {
            bool inside = count == 4 ? (s[0] | s[1] | s[2] | s[3]) >= 0
                                     : ((s[0] | s[1] | s[2]) & (s[3] | s[4] | s[5])) >= 0;
            row[x] = inside ? colour : row[x];
            for (int e = 0; e < 6; e++) {
                s[e] += stepX[e];
            }
        }
        for (int e = 0; e < 6; e++) {
            sums[e] += stepY[e];
        }
    }
}

// Fills a pair of triangles (or one, given twice), in the box of both.
void fill(const triangle& one, const triangle& other, std::uint32_t colour) {
    box b = one.Box;
    b.Left = std::min(b.Left, other.Box.Left);
    b.Right = std::max(b.Right, other.Box.Right);
    b.Top = std::min(b.Top, other.Box.Top);
    b.Bottom = std::max(b.Bottom, other.Box.Bottom);
    b.Small = one.Box.Small && other.Box.Small;
    edge edges[6];
    std::copy(one.Edges, one.Edges + 3, edges);
    std::copy(other.Edges, other.Edges + 3, edges + 3);
    fill(edges, 6, b, colour);
}

// A triangle cut down to the polygon inside clip space, side by side, as Mesa's clipper
// cuts one that crosses a side, and as the fan of triangles from the polygon's first
// corner that it draws. Returns how many it wrote to `out`, at most seven.
std::size_t clip(const corner& a, const corner& b, const corner& c, GLfloat halfWidth,
                 GLfloat halfHeight, triangle* out) {
    unsigned any = a.Outside | b.Outside | c.Outside;
    if (any == 0) {
        return triangleOf(a, b, c, *out) ? 1 : 0;
    }
    if ((a.Outside & b.Outside & c.Outside) != 0) {
        return 0;
    }
    std::vector<corner> polygon = {a, b, c}, next;
    for (int side = 0; side < 6 && polygon.size() >= 3; side++) {
        if ((any & 1U << side) == 0) {
            continue;
        }
        next.clear();
        // From the first corner round to it again, so that the polygon keeps its first.
        const corner* before = &polygon[0];
        GLfloat distanceBefore = inside(*before, side);
        for (std::size_t i = 1; i <= polygon.size(); i++) {
            const corner& now = polygon[i % polygon.size()];
            GLfloat distance = inside(now, side);
            // A corner at no finite place has no place to cut at: the triangle is dropped.
            if (!std::isfinite(distance)) {
                return 0;
            }
            if (distanceBefore >= 0) {
                next.push_back(*before);
            }
            if ((distance < 0) != (distanceBefore < 0)) {
                next.push_back(distance < 0 ? cut(distance / (distance - distanceBefore), now,
                                                  *before, halfWidth, halfHeight)
                                            : cut(distanceBefore / (distanceBefore - distance),
                                                  *before, now, halfWidth, halfHeight));
            }
            before = &now;
            distanceBefore = distance;
        }
        std::swap(polygon, next);
    }
    std::size_t made = 0;
    for (std::size_t i = 2; i < polygon.size(); i++) {
        made += triangleOf(polygon[0], polygon[i - 1], polygon[i], out[made]) ? 1 : 0;
    }
    return made;
}

// Draws a quad with the transform in place, in the colour of its last corner and as
// desktop OpenGL splits it, into corners 0, 1, 3 and 1, 2, 3.
void drawQuad(const vertex (&v)[4]) {
    state& s = gl();
    const picture& p = s.Picture;
    GLfloat halfWidth = static_cast<GLfloat>(p.Width) / 2;
    GLfloat halfHeight = static_cast<GLfloat>(p.Height) / 2;
    corner c[4];
    for (int i = 0; i < 4; i++) {
        c[i] = place(s.Transform, v[i], halfWidth, halfHeight);
    }
    std::uint32_t colour = v[3].Colour;
    // Inside clip space, as nearly every quad is, nothing is cut: both halves are filled
    // in the box of its four corners.
    if ((c[0].Outside | c[1].Outside | c[2].Outside | c[3].Outside) == 0 && c[0].Near &&
        c[1].Near && c[2].Near && c[3].Near) {
        const corner* corners[] = {&c[0], &c[1], &c[2], &c[3]};
        box b;
        edge edges[6];
        if (!boxOf(corners, 4, b)) {
            return;
        }
        if (sidesOf(c, edges)) {
            fill(edges, 4, b, colour);
            return;
        }
        bool first = edgesOf(c[0], c[1], c[3], edges);
        bool second = edgesOf(c[1], c[2], c[3], edges + 3);
        // A half with no area fills nothing: the other stands for both.
        if (first != second) {
            std::copy(edges + (first ? 0 : 3), edges + (first ? 3 : 6), edges + (first ? 3 : 0));
        }
        if (first || second) {
            fill(edges, 6, b, colour);
        }
        return;
    }
    triangle halves[2 * 7];
    std::size_t count = clip(c[0], c[1], c[3], halfWidth, halfHeight, halves);
    count += clip(c[1], c[2], c[3], halfWidth, halfHeight, halves + count);
    for (std::size_t i = 0; i < count; i += 2) {
        fill(halves[i], halves[i + 1 < count ? i + 1 : i], colour);
    }
}

// Each pixel its own texel: the centre of pixel i is at i + 0.5, texel i's centre too.
const char* const VERTEX_SHADER = "attribute vec2 Corner;\n"
                                  "varying highp vec2 At;\n"
                                  "void main() {\n"
                                  "    At = Corner * 0.5 + 0.5;\n"
                                  "    gl_Position = vec4(Corner, 0.0, 1.0);\n"
                                  "}\n";
const char* const FRAGMENT_SHADER = "precision highp float;\n"
                                    "uniform sampler2D Picture;\n"
                                    "varying vec2 At;\n"
                                    "void main() {\n"
                                    "    gl_FragColor = texture2D(Picture, At);\n"
                                    "}\n";

GLuint compile(GLenum kind, const char* source) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

void prepare() {
    state& s = gl();
    if (s.Program != 0) {
        return;
    }
    const picture& p = canvas();
    s.Program = glCreateProgram();
    GLuint vertexShader = compile(GL_VERTEX_SHADER, VERTEX_SHADER);
    GLuint fragmentShader = compile(GL_FRAGMENT_SHADER, FRAGMENT_SHADER);
    glAttachShader(s.Program, vertexShader);
    glAttachShader(s.Program, fragmentShader);
    glBindAttribLocation(s.Program, 0, "Corner");
    glLinkProgram(s.Program);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    glUseProgram(s.Program);
    glUniform1i(glGetUniformLocation(s.Program, "Picture"), 0);
    glGenTextures(1, &s.Texture);
    glBindTexture(GL_TEXTURE_2D, s.Texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, p.Width, p.Height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    const GLfloat corners[] = {-1, -1, 1, -1, -1, 1, 1, 1};
    glGenBuffers(1, &s.Corners);
    glBindBuffer(GL_ARRAY_BUFFER, s.Corners);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
}

// The picture into the framebuffer, in one draw over the whole view.
void show() {
    state& s = gl();
    prepare();
    const picture& p = canvas();
    glUseProgram(s.Program);
    glBindTexture(GL_TEXTURE_2D, s.Texture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, p.Width, p.Height, GL_RGBA, GL_UNSIGNED_BYTE,
                    p.Pixels.data());
    glBindBuffer(GL_ARRAY_BUFFER, s.Corners);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

} // namespace

std::vector<float>& Drawn() {
    static std::vector<float> placed;
    return placed;
}

float* DrawnView() {
    static float view[4] = {};
    return view;
}

bool& Seen() {
    static bool seen = true;
    return seen;
}

extern "C" {

void glMatrixMode(GLenum mode) {
    if (mode == GL_MODELVIEW) {
        gl().Current = &gl().Modelview;
    } else if (mode == GL_PROJECTION) {
        gl().Current = &gl().Projection;
    }
}

void glLoadIdentity() {
    changedTop() = IDENTITY;
}

void glPushMatrix() {
    stack& s = *gl().Current;
    if (s.Top + 1 < s.Depth) {
        s.Levels[s.Top + 1] = s.Levels[s.Top];
        s.Made[s.Top + 1] = s.Made[s.Top];
        s.Top++;
    }
}

void glPopMatrix() {
    stack& s = *gl().Current;
    if (s.Top > 0) {
        s.Top--;
    }
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top_, GLdouble nearVal,
             GLdouble farVal) {
    // Desktop OpenGL takes the planes as doubles and works with them as floats.
    GLfloat l = static_cast<GLfloat>(left), r = static_cast<GLfloat>(right);
    GLfloat b = static_cast<GLfloat>(bottom), t = static_cast<GLfloat>(top_);
    GLfloat n = static_cast<GLfloat>(nearVal), f = static_cast<GLfloat>(farVal);
    if (l == r || b == t || n == f) {
        return;
    }
    float* view = DrawnView();
    view[0] = l;
    view[1] = r;
    view[2] = b;
    view[3] = t;
    matrix m = IDENTITY;
    m.M[0] = 2.0F / (r - l);
    m.M[12] = -(r + l) / (r - l);
    m.M[5] = 2.0F / (t - b);
    m.M[13] = -(t + b) / (t - b);
    m.M[10] = -2.0F / (f - n);
    m.M[14] = -(f + n) / (f - n);
    multiplyTop(m);
}

// As Mesa moves a matrix: only its last column changes, each element summed in the order
// a whole multiply would sum it.
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    GLfloat* m = top().M;
    for (int row = 0; row < 4; row++) {
        m[12 + row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
    }
    std::vector<float>& drawn = Drawn();
    drawn.push_back(x);
    drawn.push_back(y);
    drawn.push_back(std::numeric_limits<float>::quiet_NaN());
    gl().Placing = true;
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    if (gl().Placing) {
        Drawn().back() = angle;
    }
    double radians = angle * (M_PI / 180.0);
    GLfloat s = static_cast<GLfloat>(std::sin(radians));
    GLfloat c = static_cast<GLfloat>(std::cos(radians));
    GLfloat length = std::sqrt(x * x + y * y + z * z);
    if (length == 0) {
        return;
    }
    x /= length;
    y /= length;
    z /= length;
    GLfloat rest = 1.0F - c;
    matrix m = IDENTITY;
    m.M[0] = x * x * rest + c;
    m.M[4] = x * y * rest - z * s;
    m.M[8] = x * z * rest + y * s;
    m.M[1] = y * x * rest + z * s;
    m.M[5] = y * y * rest + c;
    m.M[9] = y * z * rest - x * s;
    m.M[2] = z * x * rest - y * s;
    m.M[6] = z * y * rest + x * s;
    m.M[10] = z * z * rest + c;
    multiplyTop(m);
}

void glBegin(GLenum mode) {
    // Quads are all the renderer draws; any other kind draws nothing.
    state& s = gl();
    s.Inside = mode == GL_QUADS && Seen();
    s.Placing = false;
    s.Given = 0;
    if (s.Inside) {
        canvas(); // drawQuad's picture, made once
        // Of most quads the renderer draws, only the move differs from the last quad's:
        // the rest of the product is as it was.
        const matrix& projection = s.Projection.Levels[s.Projection.Top];
        const matrix& modelview = s.Modelview.Levels[s.Modelview.Top];
        const std::uint64_t made[] = {s.Projection.Made[s.Projection.Top],
                                      s.Modelview.Made[s.Modelview.Top]};
        if (made[0] == s.TransformMade[0] && made[1] == s.TransformMade[1] && affine(projection) &&
            affine(modelview) && affine(s.Transform)) {
            moveColumn(projection, modelview, s.Transform);
        } else {
            s.Transform = multiply(projection, modelview);
            s.TransformMade[0] = made[0];
            s.TransformMade[1] = made[1];
        }
    }
}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    const GLfloat colour[] = {red, green, blue, 1};
    gl().Colour = rgba(colour);
}

// A pass that is not seen draws nothing. A vertex short of a whole quad is dropped at
// glEnd, as GL drops it.
void glVertex2f(GLfloat x, GLfloat y) {
    state& s = gl();
    if (s.Inside) {
        s.Quad[s.Given++] = {x, y, s.Colour};
        if (s.Given == 4) {
            drawQuad(s.Quad);
            s.Given = 0;
        }
    }
}

void glEnd() {
    gl().Inside = false;
}

void glClearColor(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    const GLfloat colour[] = {red, green, blue, alpha};
    gl().Clear = rgba(colour);
}

// WebGL's own calls keep the names of the OpenGL ones with emscripten_ before them.
void emscripten_glFlush();

// A pass that is not seen clears nothing either, so that the canvas keeps the picture it
// shows until a pass that is shown draws the next, and shows nothing: a flush of nothing
// took a quarter of a pass.
void glClear(GLbitfield mask) {
    if (Seen() && (mask & GL_COLOR_BUFFER_BIT)) {
        picture& p = canvas();
        std::fill(p.Pixels.begin(), p.Pixels.end(), gl().Clear);
    }
}

void glFlush() {
    if (Seen()) {
        show();
        emscripten_glFlush();
    }
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
    // As GLU does it: the three axes of the eye in single precision, then the move to it.
    GLfloat forward[3] = {static_cast<GLfloat>(centerX - eyeX),
                          static_cast<GLfloat>(centerY - eyeY),
                          static_cast<GLfloat>(centerZ - eyeZ)};
    GLfloat up[3] = {static_cast<GLfloat>(upX), static_cast<GLfloat>(upY),
                     static_cast<GLfloat>(upZ)};
    auto normalise = [](GLfloat* v) {
        GLfloat r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (r != 0) {
            v[0] /= r;
            v[1] /= r;
            v[2] /= r;
        }
    };
    auto cross = [](const GLfloat* a, const GLfloat* b, GLfloat* out) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    GLfloat side[3];
    normalise(forward);
    cross(forward, up, side);
    normalise(side);
    cross(side, forward, up);
    matrix m = IDENTITY;
    for (int i = 0; i < 3; i++) {
        m.M[i * 4] = side[i];
        m.M[i * 4 + 1] = up[i];
        m.M[i * 4 + 2] = -forward[i];
    }
    multiplyTop(m);
    matrix move = IDENTITY;
    move.M[12] = static_cast<GLfloat>(-eyeX);
    move.M[13] = static_cast<GLfloat>(-eyeY);
    move.M[14] = static_cast<GLfloat>(-eyeZ);
    multiplyTop(move);
}

} // extern "C"
