// SPDX-License-Identifier: MIT
// Definitions of exactly the library functions the platform classes call, checked
// against the real headers. The list of undefined symbols of setup.cpp and renderer.cpp
// is the list of functions here.
#include "platform_fake.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdlib>
#include <initializer_list>
#include <dlfcn.h>

namespace fake {

std::vector<Call> Calls;
bool Recording = true;
int InitResult = 0;
bool VideoModeFails = false;
int BitsPerPixel = 32;
std::deque<Uint32> Ticks;
std::deque<SDL_Event> Events;
std::deque<int> Draws;

void PrintTo(const Call& call, std::ostream* out) {
    *out << call.Name << "(";
    for (std::size_t i = 0; i < call.Args.size(); i++) {
        *out << (i ? ", " : "") << call.Args[i];
    }
    *out << ")";
}

void Reset() {
    Calls.clear();
    Recording = true;
    InitResult = 0;
    VideoModeFails = false;
    BitsPerPixel = 32;
    Ticks.clear();
    Events.clear();
    Draws.clear();
}

std::vector<Call> CallsOf(const std::string& name) {
    std::vector<Call> found;
    for (const Call& call : Calls) {
        if (call.Name == name) {
            found.push_back(call);
        }
    }
    return found;
}

SDL_Event QuitEvent() {
    SDL_Event evt = {};
    evt.type = SDL_QUIT;
    return evt;
}

SDL_Event KeyEvent(SDLKey key) {
    SDL_Event evt = {};
    evt.type = SDL_KEYDOWN;
    evt.key.type = SDL_KEYDOWN;
    evt.key.state = SDL_PRESSED;
    evt.key.keysym.sym = key;
    return evt;
}

static void Record(const char* name, std::initializer_list<double> args = {}) {
    if (Recording) {
        Calls.push_back(Call{name, std::vector<double>(args)});
    }
}

} // namespace fake

using fake::Record;

// The C library's generator, scripted. Unscripted draws come from the real rand(), so
// seeded tests still see the sequence a real run would.
int rand() noexcept {
    if (!fake::Draws.empty()) {
        int draw = fake::Draws.front();
        fake::Draws.pop_front();
        return draw;
    }
    using RandFunction = int (*)();
    static RandFunction real = reinterpret_cast<RandFunction>(dlsym(RTLD_NEXT, "rand"));
    return real();
}

int SDL_Init(Uint32 flags) {
    Record("SDL_Init", {double(flags)});
    return fake::InitResult;
}

const SDL_VideoInfo* SDL_GetVideoInfo(void) {
    static SDL_PixelFormat format;
    static SDL_VideoInfo info;
    Record("SDL_GetVideoInfo");
    format = SDL_PixelFormat();
    format.BitsPerPixel = static_cast<Uint8>(fake::BitsPerPixel);
    info = SDL_VideoInfo();
    info.vfmt = &format;
    return &info;
}

int SDL_GL_SetAttribute(SDL_GLattr attr, int value) {
    Record("SDL_GL_SetAttribute", {double(attr), double(value)});
    return 0;
}

SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    static SDL_Surface surface;
    Record("SDL_SetVideoMode", {double(width), double(height), double(bpp), double(flags)});
    return fake::VideoModeFails ? NULL : &surface;
}

int SDL_PollEvent(SDL_Event* event) {
    Record("SDL_PollEvent");
    if (fake::Events.empty()) {
        return 0;
    }
    *event = fake::Events.front();
    fake::Events.pop_front();
    return 1;
}

Uint32 SDL_GetTicks(void) {
    Record("SDL_GetTicks");
    Uint32 ticks = fake::Ticks.empty() ? 0 : fake::Ticks.front();
    if (!fake::Ticks.empty()) {
        fake::Ticks.pop_front();
    }
    return ticks;
}

void SDL_GL_SwapBuffers(void) {
    Record("SDL_GL_SwapBuffers");
}

void SDL_Quit(void) {
    Record("SDL_Quit");
}

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    Record("glClearColor", {red, green, blue, alpha});
}

void glMatrixMode(GLenum mode) {
    Record("glMatrixMode", {double(mode)});
}

void glLoadIdentity(void) {
    Record("glLoadIdentity");
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble near_val,
             GLdouble far_val) {
    Record("glOrtho", {left, right, bottom, top, near_val, far_val});
}

void glClear(GLbitfield mask) {
    Record("glClear", {double(mask)});
}

void glPushMatrix(void) {
    Record("glPushMatrix");
}

void glPopMatrix(void) {
    Record("glPopMatrix");
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    Record("glTranslatef", {x, y, z});
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    Record("glRotatef", {angle, x, y, z});
}

void glBegin(GLenum mode) {
    Record("glBegin", {double(mode)});
}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    Record("glColor3f", {red, green, blue});
}

void glVertex2f(GLfloat x, GLfloat y) {
    Record("glVertex2f", {x, y});
}

void glEnd(void) {
    Record("glEnd");
}

void glFlush(void) {
    Record("glFlush");
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
    Record("gluLookAt", {eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ});
}
