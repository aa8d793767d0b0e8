// SPDX-License-Identifier: MIT
// The fixed-function OpenGL 1.x calls the renderer makes, written on OpenGL ES 2 (WebGL in
// a browser), which has no matrix stacks and no immediate mode. The matrices are kept here
// and multiplied in single precision in the order desktop OpenGL multiplies them, so the
// same calls put every vertex on the same pixel. The quads of a frame are gathered and
// drawn a few thousand at a time: a draw for each glBegin/glEnd held a browser to a few
// frames a second at ten thousand creatures. They are drawn at the latest when the picture
// could otherwise differ from desktop OpenGL's: at glClear and glFlush (the renderer
// flushes before it swaps), which are written here for that, and before a change of what
// a whole draw shares. glClearColor means the same in both and comes straight from OpenGL
// ES 2. Where each shape is placed is kept for the page (drawn.h), in the passes the page
// runs without showing them too, which draw nothing.
#include "drawn.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GLES2/gl2.h>

#include <cmath>
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
    int Top;
    int Depth;
};

// A corner as glVertex2f gives it, in the colour of the last glColor3f (whose alpha is 1).
struct vertex {
    GLfloat X, Y;
    GLfloat R, G, B;
};

// A corner as it waits to be drawn: with the elements of its shape's transform that differ
// from shape to shape, rows x and y of columns 0, 1 and 3.
struct corner {
    vertex At;
    GLfloat Column0[2], Column1[2], Column3[2];
};

// What the quads of one draw share of their transforms. Rows z and w of columns 0, 1 and 3,
// which the renderer's shapes, moved and turned in the plane, all share, compared by value:
// a zero of either sign adds nothing to a sum, and the turns give the zeros either sign.
// And column 2, which meets only the z of 0 that glVertex2f gives every vertex: a turn's
// (1 - cos) + cos leaves it a bit off now and then, but a finite number times 0 is 0, so
// the draw takes its first shape's for all of them as long as the same elements are finite.
struct shared {
    GLfloat Lower[6]; // rows z and w of column 0, of column 1, of column 3
    GLfloat Column2[4];
};

// Quads to a draw: 16-bit indices reach 16384, and 4096 draw a quarter of a million
// creatures in 62 draws from a buffer of 700 KB.
const std::size_t QUEUED_QUADS = 4096;

struct state {
    stack Modelview = {{IDENTITY}, 0, MODELVIEW_DEPTH};
    stack Projection = {{IDENTITY}, 0, PROJECTION_DEPTH};
    stack* Current = &Modelview;
    GLfloat Colour[4] = {1, 1, 1, 1};
    bool Inside = false;  // between glBegin(GL_QUADS) and glEnd
    bool Placing = false; // since a glTranslatef, before the next glBegin
    std::vector<vertex> Vertices;
    // The quads not drawn yet, and what they share; never more than QUEUED_QUADS, so the
    // memory stays as it is however many creatures there are.
    std::vector<corner> Queued;
    shared Shared = {};
    // Made on the first draw, once a context is current.
    GLuint Program = 0;
    GLuint Buffer = 0;
    GLuint Indices = 0;
    GLint Column2 = -1;
    GLint Lower = -1;
};

state& gl() {
    static state s;
    return s;
}

matrix& top() {
    stack& s = *gl().Current;
    return s.Levels[s.Top];
}

// a x b, each element summed in the order desktop OpenGL sums it, in single precision.
matrix multiply(const matrix& a, const matrix& b) {
    matrix p;
    for (int row = 0; row < 4; row++) {
        for (int col = 0; col < 4; col++) {
            p.M[col * 4 + row] = a.M[row] * b.M[col * 4] + a.M[4 + row] * b.M[col * 4 + 1] +
                                 a.M[8 + row] * b.M[col * 4 + 2] + a.M[12 + row] * b.M[col * 4 + 3];
        }
    }
    return p;
}

void multiplyTop(const matrix& m) {
    top() = multiply(top(), m);
}

// The whole way from world to clip space is one matrix, made on the processor as desktop
// OpenGL makes it, and multiplied with each vertex by the GPU as desktop OpenGL does it: a
// multiply on the processor may round otherwise than the GPU's, which may fuse a multiply
// and an add, and move an edge by a pixel. The matrix comes in pieces, from the corner and
// from the draw, but each row of it still makes one coordinate of gl_Position from the
// same four products summed in the same order; nothing is known to the compiler that could
// make it sum otherwise.
const char* const VERTEX_SHADER =
    "attribute vec4 Position;\n"
    "attribute vec4 Colour;\n"
    "attribute vec2 Column0;\n"
    "attribute vec2 Column1;\n"
    "attribute vec2 Column3;\n"
    "uniform vec4 Column2;\n"
    "uniform vec2 Lower[3];\n"
    "varying vec4 Shade;\n"
    "void main() {\n"
    "    mat4 Transform = mat4(vec4(Column0, Lower[0]), vec4(Column1, Lower[1]), Column2,\n"
    "                          vec4(Column3, Lower[2]));\n"
    "    gl_Position = Transform * Position;\n"
    "    Shade = Colour;\n"
    "}\n";
const char* const FRAGMENT_SHADER = "precision mediump float;\n"
                                    "varying vec4 Shade;\n"
                                    "void main() {\n"
                                    "    gl_FragColor = Shade;\n"
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
    s.Program = glCreateProgram();
    GLuint vertexShader = compile(GL_VERTEX_SHADER, VERTEX_SHADER);
    GLuint fragmentShader = compile(GL_FRAGMENT_SHADER, FRAGMENT_SHADER);
    glAttachShader(s.Program, vertexShader);
    glAttachShader(s.Program, fragmentShader);
    const char* const attributes[] = {"Position", "Colour", "Column0", "Column1", "Column3"};
    for (GLuint i = 0; i < 5; i++) {
        glBindAttribLocation(s.Program, i, attributes[i]);
    }
    glLinkProgram(s.Program);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    s.Column2 = glGetUniformLocation(s.Program, "Column2");
    s.Lower = glGetUniformLocation(s.Program, "Lower");
    // Made once and filled anew for each draw: storage made anew for each draw grew a
    // driver's memory by megabytes a frame.
    glGenBuffers(1, &s.Buffer);
    glBindBuffer(GL_ARRAY_BUFFER, s.Buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(QUEUED_QUADS * 4 * sizeof(corner)),
                 nullptr, GL_STREAM_DRAW);
    // Each quad as desktop OpenGL splits it: corners 0, 1, 3, then 1, 2, 3.
    std::vector<GLushort> indices;
    indices.reserve(QUEUED_QUADS * 6);
    for (std::size_t q = 0; q < QUEUED_QUADS; q++) {
        for (std::size_t corner : {0, 1, 3, 1, 2, 3}) {
            indices.push_back(static_cast<GLushort>(q * 4 + corner));
        }
    }
    glGenBuffers(1, &s.Indices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, s.Indices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(indices.size() * sizeof(GLushort)), indices.data(),
                 GL_STATIC_DRAW);
}

void drawQueued() {
    state& s = gl();
    if (s.Queued.empty()) {
        return;
    }
    prepare();
    glUseProgram(s.Program);
    glUniform4fv(s.Column2, 1, s.Shared.Column2);
    glUniform2fv(s.Lower, 3, s.Shared.Lower);
    glBindBuffer(GL_ARRAY_BUFFER, s.Buffer);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(s.Queued.size() * sizeof(corner)),
                    s.Queued.data());
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, s.Indices);
    // z and w of a two-component position are 0 and 1, as glVertex2f makes them, and the
    // alpha of a three-component colour is 1.
    const GLint sizes[] = {2, 3, 2, 2, 2};
    std::size_t offset = 0;
    for (GLuint i = 0; i < 5; i++) {
        glEnableVertexAttribArray(i);
        glVertexAttribPointer(i, sizes[i], GL_FLOAT, GL_FALSE, sizeof(corner),
                              reinterpret_cast<const void*>(offset));
        offset += sizes[i] * sizeof(GLfloat);
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(s.Queued.size() / 4 * 6), GL_UNSIGNED_SHORT,
                   nullptr);
    s.Queued.clear();
}

bool sameDraw(const shared& a, const shared& b) {
    for (int i = 0; i < 6; i++) {
        if (!(a.Lower[i] == b.Lower[i])) {
            return false;
        }
    }
    for (int i = 0; i < 4; i++) {
        if (std::isfinite(a.Column2[i]) != std::isfinite(b.Column2[i])) {
            return false;
        }
    }
    return true;
}

// Queues the quads of a glBegin/glEnd with the transform in place at glEnd. A vertex short
// of a whole quad is dropped, as GL drops it.
void queue() {
    state& s = gl();
    std::size_t quads = s.Vertices.size() / 4;
    if (quads == 0) {
        return;
    }
    matrix transform =
        multiply(s.Projection.Levels[s.Projection.Top], s.Modelview.Levels[s.Modelview.Top]);
    const GLfloat* t = transform.M;
    shared now = {{t[2], t[3], t[6], t[7], t[14], t[15]}, {t[8], t[9], t[10], t[11]}};
    if (s.Queued.empty() || !sameDraw(now, s.Shared)) {
        drawQueued();
        s.Shared = now;
    }
    s.Queued.reserve(QUEUED_QUADS * 4);
    for (std::size_t q = 0; q < quads; q++) {
        if (s.Queued.size() == QUEUED_QUADS * 4) {
            drawQueued();
        }
        for (std::size_t c = 0; c < 4; c++) {
            s.Queued.push_back({s.Vertices[q * 4 + c], {t[0], t[1]}, {t[4], t[5]}, {t[12], t[13]}});
        }
    }
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
    top() = IDENTITY;
}

void glPushMatrix() {
    stack& s = *gl().Current;
    if (s.Top + 1 < s.Depth) {
        s.Levels[s.Top + 1] = s.Levels[s.Top];
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

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    matrix m = IDENTITY;
    m.M[12] = x;
    m.M[13] = y;
    m.M[14] = z;
    multiplyTop(m);
    Drawn().insert(Drawn().end(), {x, y, std::numeric_limits<float>::quiet_NaN()});
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
    gl().Inside = mode == GL_QUADS;
    gl().Placing = false;
    gl().Vertices.clear();
}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    GLfloat* c = gl().Colour;
    c[0] = red;
    c[1] = green;
    c[2] = blue;
    c[3] = 1;
}

// A pass that is not seen keeps no vertices, so its quads draw nothing.
void glVertex2f(GLfloat x, GLfloat y) {
    state& s = gl();
    if (s.Inside && Seen()) {
        s.Vertices.push_back({x, y, s.Colour[0], s.Colour[1], s.Colour[2]});
    }
}

void glEnd() {
    if (gl().Inside) {
        queue();
    }
    gl().Inside = false;
}

// WebGL's own calls keep the names of the OpenGL ones with emscripten_ before them.
void emscripten_glClear(GLbitfield mask);
void emscripten_glFlush();

// A pass that is not seen clears nothing either, so that the canvas keeps the picture it
// shows until a pass that is shown draws the next, and flushes nothing: a flush of nothing
// took a quarter of a pass. Nor has it queued anything to draw.
void glClear(GLbitfield mask) {
    if (Seen()) {
        drawQueued();
        emscripten_glClear(mask);
    }
}

void glFlush() {
    if (Seen()) {
        drawQueued();
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
