// SPDX-License-Identifier: MIT
// Draws frames of a program's creatures with the program's own renderer into an offscreen
// 800 x 600 buffer and writes them out, one binary PPM after another. Built twice for a
// program: against desktop OpenGL and against the OpenGL 1.x subset of the web platform
// on OpenGL ES 2, so that the two pictures of the same calls can be compared pixel for
// pixel. Needs no display: Mesa's surfaceless EGL platform.
//
//   draw_frames FILE [POPULATION]
//
// POPULATION (60 unless given) is the creatures the program's factory makes; a few more
// stand cut by the edges of the view. For each frame a line on standard error tells in how
// many draws the web platform showed its shapes (0 on the desktop, which draws none itself).
#include "moblery.h"
#include "movement.h"
#include "renderer.h"
#include "setup.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

// Neither SDL nor setup.cpp is linked: the frame is read back, not shown, and the frame
// clock is set by hand.
extern "C" void SDL_GL_SwapBuffers() {}

// The web platform's glFlush shows what it has drawn, then calls WebGL's, whose name is
// OpenGL's with emscripten_ before it. Here that is the driver's own, which the platform's
// hides by name.
extern "C" void emscripten_glFlush() {
    static auto flush = reinterpret_cast<void (*)()>(eglGetProcAddress("glFlush"));
    flush();
}

// The web platform shows what it has drawn with glDrawArrays: counted on the way.
static int DrawsInFrame = 0;

extern "C" void glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    static auto draw =
        reinterpret_cast<void (*)(GLenum, GLint, GLsizei)>(eglGetProcAddress("glDrawArrays"));
    DrawsInFrame++;
    draw(mode, first, count);
}

int setup::active = 0;
unsigned int setup::current_time = 0;
unsigned int setup::last_time = 0;

namespace {

const int FRAMES = 24;
const int MOVES_BETWEEN_FRAMES = 40;

bool OpenContext() {
    auto getDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getDisplay == nullptr) {
        return false;
    }
    EGLDisplay display = getDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr) ||
        !eglBindAPI(DRAW_API)) {
        return false;
    }
    const EGLint configWanted[] = {EGL_SURFACE_TYPE,
                                   EGL_PBUFFER_BIT,
                                   EGL_RENDERABLE_TYPE,
                                   DRAW_API_BIT,
                                   EGL_RED_SIZE,
                                   8,
                                   EGL_GREEN_SIZE,
                                   8,
                                   EGL_BLUE_SIZE,
                                   8,
                                   EGL_NONE};
    EGLConfig config;
    EGLint found = 0;
    if (!eglChooseConfig(display, configWanted, &config, 1, &found) || found < 1) {
        return false;
    }
    const EGLint size[] = {EGL_WIDTH, WIDTH, EGL_HEIGHT, HEIGHT, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, size);
    const EGLint es2[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT,
                                          DRAW_API == EGL_OPENGL_ES_API ? es2 : nullptr);
    return surface != EGL_NO_SURFACE && context != EGL_NO_CONTEXT &&
           eglMakeCurrent(display, surface, surface, context);
}

// Creatures at the edges of the view, cut by it, wherever the run's creatures happen to be.
void AddCutCreatures(std::vector<mobling>& moblings) {
    const float edges[][2] = {{-12.4f, 300.3f}, {808.6f, 299.2f}, {400.2f, 612.7f},
                              {401.1f, -11.3f}, {-404.5f, 2.2f},  {398.8f, 302.6f},
                              {-3.3f, -297.9f}, {811.9f, 611.1f}};
    for (const auto& at : edges) {
        mobling m;
        m.SetPosX(static_cast<Position>(at[0]));
        m.SetPosY(static_cast<Position>(at[1]));
        m.SetRot(at[0] * 0.37f);
        moblings.push_back(m);
    }
}

} // namespace

int main(int argc, char** argv) {
    int population = argc == 3 ? std::atoi(argv[2]) : 60;
    if ((argc != 2 && argc != 3) || population < 1) {
        std::fprintf(stderr, "usage: %s FILE [POPULATION]\n", argv[0]);
        return 2;
    }
    if (!OpenContext()) {
        std::fprintf(stderr, "no OpenGL context: EGL error 0x%x\n", eglGetError());
        return 1;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    // A population placed and moved as the program does it, from a fixed seed.
    std::srand(20261208);
    moblery Factory;
    movement Move;
    renderer Rend;
    setup::current_time = 16;
    Rend.GL_Setup();
    // RGBA: the one format OpenGL ES 2 always reads back.
    std::vector<unsigned char> pixels(static_cast<std::size_t>(WIDTH) * HEIGHT * 4);
    for (int frame = 0; frame < FRAMES; frame++) {
        if (frame == 0 || !SETTINGS.Moves) {
            // Creatures that stand still are placed anew for every frame.
            Factory.Moblings.clear();
            Factory.Populate(population);
            AddCutCreatures(Factory.Moblings);
        }
        for (int i = 0; SETTINGS.Moves && i < MOVES_BETWEEN_FRAMES; i++) {
            Move.UpdateMoves(Factory.Moblings);
        }
        Rend.Draw_All(Factory.Moblings);
        std::fprintf(stderr, "%d draws of %zu shapes\n", DrawsInFrame, Factory.Moblings.size());
        DrawsInFrame = 0;
        glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        std::fprintf(out, "P6\n%d %d\n255\n", WIDTH, HEIGHT);
        for (std::size_t i = 0; i < pixels.size(); i += 4) {
            std::fwrite(&pixels[i], 1, 3, out);
        }
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
