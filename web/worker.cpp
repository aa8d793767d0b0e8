// SPDX-License-Identifier: MIT
// The platform of a run with no page: an experiment's worker runs the program's passes
// as fast as they go, reads where it placed its shapes, and shows none of them. A worker
// has no document, no canvas and no WebGL, so nothing here asks Emscripten's SDL for
// them: the window always opens, nothing is drawn, and the only event is the quit that
// ends the run at the frame it was asked for (web_request_quit, as a page's Close posts
// it). The clocks, the seed, the swap and the C library's numbers are the page's own.
#include "drawn.h"

#include "SDL.h"

namespace {
bool QuitPosted = false;
} // namespace

extern "C" {

int SDL_Init(Uint32) {
    return 0;
}

int SDL_GL_SetAttribute(SDL_GLattr, int) {
    return 0;
}

SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    static SDL_Surface window = {};
    window.flags = flags;
    window.w = width;
    window.h = height;
    (void)bpp;
    // No pass is seen, from the first on: the picture would be thrown away unseen.
    Seen() = false;
    return &window;
}

int SDL_PushEvent(SDL_Event* event) {
    QuitPosted = QuitPosted || event->type == SDL_QUIT;
    return 0;
}

int SDL_PollEvent(SDL_Event* event) {
    if (!QuitPosted) {
        return 0;
    }
    QuitPosted = false;
    *event = SDL_Event{};
    event->type = SDL_QUIT;
    return 1;
}

} // extern "C"
