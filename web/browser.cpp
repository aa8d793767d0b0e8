// SPDX-License-Identifier: MIT
// What the programs ask of SDL that Emscripten's SDL 1.2 does not give as a desktop SDL
// does. The functions here have the names of Emscripten's own and take their place when
// the program is linked.
#include "drawn.h"
#include "generator.h"

#include "SDL.h"

#include <emscripten.h>

// Hands the page what the frame just drawn placed (x, y and rotation of each shape) and
// the view it was drawn in, and waits until the page lets the program run its next pass:
// at the browser's next animation frame, or at once when the page runs several passes a
// frame or as many as it can, or not until it is resumed or stepped. Returns whether the
// page will show that pass: of a run of passes it shows only the last. A page that does
// not say (Module.drawing) shows them all.
// The program's frame loop never returns to the browser; Asyncify unwinds it here and
// rewinds it when the page wakes it, so the loop runs as written. Once main has slept, its
// return comes back to no caller, so its status is handed on to exit from here: the page
// hears of it as from a desktop program's exit.
// The body is JavaScript, which clang-format would mangle.
// clang-format off
EM_JS(int, web_next_frame, (const float* placed, int count, const float* view), {
    // Rewinding, the loop calls this again on its way back to where it slept: the frame
    // was handed over before it slept.
    if (Asyncify.state !== Asyncify.State.Rewinding &&
        Module.frameDrawn(HEAPF32.subarray(placed >> 2, (placed >> 2) + count),
                          HEAPF32.subarray(view >> 2, (view >> 2) + 4))) {
        return Module.drawing === false ? 0 : 1;
    }
    Asyncify.handleSleep(function(wakeUp) {
        Module.waitForPass(function() {
            if (!Asyncify.asyncPromiseHandlers) {
                Asyncify.whenDone().then(function(status) {
                    try {
                        exit(status);
                    } catch (e) {
                        // How exit stops whatever called it; nothing is left to stop.
                        if (!(e instanceof ExitStatus)) {
                            throw e;
                        }
                    }
                });
            }
            wakeUp();
        });
    });
    // What sleeping returns is of no use; woken, the page has said whether it shows the
    // pass it woke the program for.
    return Module.drawing === false ? 0 : 1;
});
// clang-format on

namespace {
generator Random;
} // namespace

extern "C" {

// Presents the frame: the browser shows what was drawn once control returns to it.
void SDL_GL_SwapBuffers() {
    std::vector<float>& placed = Drawn();
    Seen() = web_next_frame(placed.data(), static_cast<int>(placed.size()), DrawnView()) != 0;
    placed.clear();
}

// The C library's sequence as Linux's draws it, so that srand(seed) starts the same run.
void srand(unsigned int seed) {
    Random.Seed(seed);
}

int rand() {
    return Random.Draw();
}

// Emscripten's leaves the pixel format unset; a page shows 8 bits a colour channel.
const SDL_VideoInfo* SDL_GetVideoInfo() {
    static SDL_PixelFormat format = {};
    static SDL_VideoInfo info = {};
    format.BitsPerPixel = 32;
    format.BytesPerPixel = 4;
    info.vfmt = &format;
    return &info;
}

// There is nothing to shut down in a page. Emscripten's writes a line of its own to the
// program's standard output.
void SDL_Quit() {}

// What the page's Close button calls: the quit event that closing a window posts.
EMSCRIPTEN_KEEPALIVE void web_request_quit() {
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

} // extern "C"
