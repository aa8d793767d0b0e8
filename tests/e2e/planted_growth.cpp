// SPDX-License-Identifier: MIT
// Linked into a copy of the reference program to give the soak a leak of our own to find: a
// kilobyte a second, made on the way to the frame's buffer swap, which the link wraps. Each
// block's only pointer is overwritten by the next one; the store is volatile so that the
// compiler cannot drop the allocation.
#include "SDL.h"

extern "C" void __real_SDL_GL_SwapBuffers();

namespace {
char* volatile Planted = nullptr;
Uint32 LastPlanted = 0;
} // namespace

extern "C" void __wrap_SDL_GL_SwapBuffers() {
    Uint32 now = SDL_GetTicks();
    if (now - LastPlanted >= 1000) {
        LastPlanted = now;
        Planted = new char[1024];
    }
    __real_SDL_GL_SwapBuffers();
}
