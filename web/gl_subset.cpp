// SPDX-License-Identifier: MIT
// The fixed-function OpenGL 1.x calls the renderer makes, written on OpenGL ES 2 (WebGL in
// a browser), which has no matrix stacks and no immediate mode. The matrices are kept here
// and multiplied in single precision in the order desktop OpenGL multiplies them, so the
// same calls put every vertex on the same pixel; each glBegin/glEnd is drawn at glEnd with
// one small shader. glClearColor, glClear and glFlush mean the same in both and come
// straight from OpenGL ES 2. Where each shape is placed is kept for the page (drawn.h).
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

struct vertex {
    GLfloat X, Y;
    GLfloat R, G, B, A;
};

struct state {
    stack Modelview = {{IDENTITY}, 0, MODELVIEW_DEPTH};
    stack Projection = {{IDENTITY}, 0, PROJECTION_DEPTH};
    stack* Current = &Modelview;
    GLfloat Colour[4] = {1, 1, 1, 1};
    bool Inside = false;  // between glBegin(GL_QUADS) and glEnd
    bool Placing = false; // since a glTranslatef, before the next glBegin
    std::vector<vertex> Vertices;
    std::vector<vertex> Triangles;
    // Made on the first draw, once a context is current.
    GLuint Program = 0;
    GLuint Buffer = 0;
    GLint Transform = -1;
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

const char* const VERTEX_SHADER = "attribute vec4 Position;\n"
                                  "attribute vec4 Colour;\n"
                                  "uniform mat4 Transform;\n"
                                  "varying vec4 Shade;\n"
                                  "void main() {\n"
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
    glBindAttribLocation(s.Program, 0, "Position");
    glBindAttribLocation(s.Program, 1, "Colour");
    glLinkProgram(s.Program);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    s.Transform = glGetUniformLocation(s.Program, "Transform");
    glGenBuffers(1, &s.Buffer);
}

void draw() {
    state& s = gl();
    // Each quad as desktop OpenGL splits it: corners 0, 1, 3, then 1, 2, 3. A vertex
    // short of a whole quad is dropped, as GL drops it.
    s.Triangles.clear();
    for (std::size_t q = 0; q + 3 < s.Vertices.size(); q += 4) {
        for (std::size_t corner : {0, 1, 3, 1, 2, 3}) {
            s.Triangles.push_back(s.Vertices[q + corner]);
        }
    }
    if (s.Triangles.empty()) {
        return;
    }
    prepare();
    glUseProgram(s.Program);
    // One matrix for the whole way from world to clip space, made as GL makes it.
    matrix transform =
        multiply(s.Projection.Levels[s.Projection.Top], s.Modelview.Levels[s.Modelview.Top]);
    glUniformMatrix4fv(s.Transform, 1, GL_FALSE, transform.M);
    glBindBuffer(GL_ARRAY_BUFFER, s.Buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.Triangles.size() * sizeof(vertex)),
                 s.Triangles.data(), GL_STREAM_DRAW);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    // z and w of a two-component position are 0 and 1, as glVertex2f makes them.
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(vertex), nullptr);
    glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, sizeof(vertex),
                          reinterpret_cast<const void*>(2 * sizeof(GLfloat)));
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(s.Triangles.size()));
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

void glVertex2f(GLfloat x, GLfloat y) {
    state& s = gl();
    if (s.Inside) {
        s.Vertices.push_back({x, y, s.Colour[0], s.Colour[1], s.Colour[2], s.Colour[3]});
    }
}

void glEnd() {
    if (gl().Inside) {
        draw();
    }
    gl().Inside = false;
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
