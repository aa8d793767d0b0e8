// SPDX-License-Identifier: MIT
// What the programs ask of SDL that Emscripten's SDL 1.2 does not give as a desktop SDL
// does. The functions here have the names of Emscripten's own and take their place when
// the program is linked.
#include "SDL.h"

#include <emscripten.h>

// Waits for the browser's next animation frame. The program's frame loop never returns
// to the browser; Asyncify unwinds it here and rewinds it once the frame is due, so the
// loop runs as written, one pass a frame the page shows. Once main has slept, its return
// comes back to no caller, so its status is handed on to exit from here: the page hears
// of it as from a desktop program's exit.
EM_JS(void, web_next_frame, (), {
    Asyncify.handleSleep(function(wakeUp) {
        requestAnimationFrame(function() {
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
});

extern "C" {

// Presents the frame: the browser shows what was drawn once control returns to it.
void SDL_GL_SwapBuffers() {
    web_next_frame();
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
