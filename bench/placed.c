/* SPDX-License-Identifier: MIT */
/* Where an SDL 1.2 OpenGL program places its shapes, read from beneath it without drawing
 * them: preloaded, it stands in front of every OpenGL and GLU call the renderer makes and
 * of SDL_GL_SwapBuffers, and none of them reaches the driver. A run that only needs the
 * creatures' places then costs the simulation alone, not the software renderer's fill.
 *
 *   PLACED_FILE=FILE  where the places go, written as each pass is swapped:
 *
 *     the window, once it is open: its width and height, native uint32s
 *     the projection, once: glOrtho's six arguments, native doubles
 *     then for every pass from the one in which glOrtho is first called:
 *       a native uint32, the shapes it placed, and for each of them x, y and the angle as
 *       native floats, then a uint32, 1 where a rotation turned it and 0 where none did
 *
 * A shape is placed by a glTranslatef, and turned by a glRotatef that follows it before
 * glBegin begins the shape: the reading of an apitrace trace that lab/traces.py makes, so
 * the two give the same places, as the program handed them over, bit for bit.
 *
 *   LD_PRELOAD="libswapcount.so libframeclock.so libplaced.so" PLACED_FILE=/tmp/p program
 *
 * Its swap calls no other: whatever else counts swaps (swapcount.c, frameclock.c) must
 * come before it in LD_PRELOAD, so that theirs runs and then passes the swap on to this
 * one. A helper process that inherits the environment and opens no window writes nothing,
 * and a program whose window does not open leaves no file: the tools say so.
 */
#define _GNU_SOURCE
#include "SDL.h"
#include <GL/gl.h>
#include <GL/glu.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/types.h>
#include <unistd.h>

struct shape {
    float x, y, angle;
    uint32_t turned;
};

static struct shape* pass; /* the shapes of the pass being placed */
static uint32_t placed;
static uint32_t room;
static int placing;   /* a shape is placed and not yet begun */
static int projected; /* glOrtho has been called: passes are the program's own */
static int out = -1;
static pid_t writer;

static void fail(const char* msg, size_t len) {
    if (write(2, msg, len) < 0) {
        /* nothing more can be done about it */
    }
    abort();
}
#define FAIL(text) fail("placed: " text "\n", sizeof "placed: " text "\n" - 1)

static void put(const void* bytes, size_t len) {
    const char* at = bytes;
    while (len > 0) {
        ssize_t done = write(out, at, len);
        if (done < 0)
            FAIL("cannot write PLACED_FILE");
        at += done;
        len -= (size_t)done;
    }
}

typedef SDL_Surface* (*mode_fn)(int, int, int, Uint32);

/* The window's size is the one the program is given, and it tells the tools at once that
 * the window opened: a run of a few undrawn frames is over before anyone could look. The
 * file is opened here, by the process that opens the window, so a helper process that
 * only inherited PLACED_FILE neither truncates nor writes it. */
SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    mode_fn real = (mode_fn)dlsym(RTLD_NEXT, "SDL_SetVideoMode");
    if (!real)
        FAIL("no SDL 1.2 function to stand in front of");
    SDL_Surface* screen = real(width, height, bpp, flags);
    if (!screen || out >= 0)
        return screen;
    const char* name = getenv("PLACED_FILE");
    if (!name || !*name)
        FAIL("PLACED_FILE names no file");
    out = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0)
        FAIL("cannot open PLACED_FILE");
    writer = getpid();
    const uint32_t size[2] = {(uint32_t)screen->w, (uint32_t)screen->h};
    put(size, sizeof size);
    return screen;
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_val,
             GLdouble far_val) {
    if (projected || out < 0 || getpid() != writer)
        return;
    const GLdouble args[6] = {left, right, bottom, top, near_val, far_val};
    put(args, sizeof args);
    projected = 1;
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    (void)z;
    if (placed == room) {
        room = room ? 2 * room : 64;
        pass = realloc(pass, room * sizeof *pass);
        if (!pass)
            FAIL("out of memory");
    }
    pass[placed++] = (struct shape){x, y, 0, 0};
    placing = 1;
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    (void)x, (void)y, (void)z;
    if (placing)
        pass[placed - 1].angle = angle, pass[placed - 1].turned = 1;
}

void glBegin(GLenum mode) {
    (void)mode;
    placing = 0;
}

/* A pass ends where the program swaps it to the screen: one write a pass, and a file that
 * holds every pass swapped so far if the program dies. */
void SDL_GL_SwapBuffers(void) {
    if (projected && getpid() == writer) {
        put(&placed, sizeof placed);
        put(pass, placed * sizeof *pass);
    }
    placed = 0;
    placing = 0;
}

/* The rest of what the renderer calls, which only draws. */
void glClear(GLbitfield mask) {
    (void)mask;
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    (void)red, (void)green, (void)blue, (void)alpha;
}

void glMatrixMode(GLenum mode) {
    (void)mode;
}

void glLoadIdentity(void) {}

void gluLookAt(GLdouble eye_x, GLdouble eye_y, GLdouble eye_z, GLdouble centre_x, GLdouble centre_y,
               GLdouble centre_z, GLdouble up_x, GLdouble up_y, GLdouble up_z) {
    (void)eye_x, (void)eye_y, (void)eye_z, (void)centre_x, (void)centre_y, (void)centre_z;
    (void)up_x, (void)up_y, (void)up_z;
}

void glPushMatrix(void) {}

void glPopMatrix(void) {}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    (void)red, (void)green, (void)blue;
}

void glVertex2f(GLfloat x, GLfloat y) {
    (void)x, (void)y;
}

void glEnd(void) {}

void glFlush(void) {}
