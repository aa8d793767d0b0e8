// SPDX-License-Identifier: MIT
// Emscripten's SDL_SetVideoMode gives a surface even where the browser has no WebGL, and
// the first OpenGL call then stops the program without a word. Here it fails as a desktop
// SDL fails when it cannot open an OpenGL window: it returns no surface, and the program
// reports it.
mergeInto(LibraryManager.library, {
  $emscriptenSetVideoMode: LibraryManager.library.SDL_SetVideoMode,
  $emscriptenSetVideoMode__deps: LibraryManager.library.SDL_SetVideoMode__deps,
  SDL_SetVideoMode__deps: ['$emscriptenSetVideoMode', '$SDL'],
  SDL_SetVideoMode: function(width, height, depth, flags) {
    var surface = emscriptenSetVideoMode(width, height, depth, flags);
    if (surface && SDL.GL && !SDL.surfaces[surface].ctx) {
      SDL.freeSurface(surface);
      return 0;
    }
    return surface;
  },
});
