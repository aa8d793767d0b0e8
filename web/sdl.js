// SPDX-License-Identifier: MIT
// The program's clocks are the page's: time(0) reads the second the page seeds the run
// with, as a desktop run's clock is stopped at its seed, and SDL's frame clock reads the
// milliseconds the page has run the program for, which stand still while it is paused
// and pass faster or slower at another speed.
//
// Emscripten's SDL_SetVideoMode gives a surface even where the browser has no WebGL, and
// the first OpenGL call then stops the program without a word. Here it fails as a desktop
// SDL fails when it cannot open an OpenGL window: it returns no surface, and the program
// reports it.
//
// Its WebGL context is asked to be desynchronized: the page's one draw a frame goes to
// the screen without passing through the browser's compositor, which took a browser
// without a graphics card 6 ms of every frame's main thread.
mergeInto(LibraryManager.library, {
  time: function(ptr) {
    var second = Module.seed | 0;
    if (ptr) {
      HEAP32[ptr >> 2] = second;
    }
    return second;
  },
  SDL_GetTicks: function() {
    return Module.ticks() | 0;
  },
  $emscriptenSetVideoMode: LibraryManager.library.SDL_SetVideoMode,
  $emscriptenSetVideoMode__deps: LibraryManager.library.SDL_SetVideoMode__deps,
  SDL_SetVideoMode__deps: ['$emscriptenSetVideoMode', '$SDL'],
  SDL_SetVideoMode: function(width, height, depth, flags) {
    var create = Browser.createContext;
    Browser.createContext = function(canvas, useWebGL, setInModule, attributes) {
      return create(canvas, useWebGL, setInModule,
                    Object.assign({desynchronized: true}, attributes));
    };
    var surface;
    try {
      surface = emscriptenSetVideoMode(width, height, depth, flags);
    } finally {
      Browser.createContext = create;
    }
    if (surface && SDL.GL && !SDL.surfaces[surface].ctx) {
      SDL.freeSurface(surface);
      return 0;
    }
    return surface;
  },
});
