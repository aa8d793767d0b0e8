// SPDX-License-Identifier: MIT
// Draws the population into the window: the projection once, then every frame.
#ifndef RENDERER_H_
#define RENDERER_H_

#include "mobling.h"

#include <vector>

class renderer {
  public:
    renderer() = default;
    ~renderer() = default;

    // Black background and the projection of the field; needs the window's GL context.
    void GL_Setup();
    // Clears the window, draws every creature at its position and shows the frame.
    void Draw_All(std::vector<mobling>& Moblings);
    // One creature shape around the current origin.
    void Draw_Mobling();
};

#endif
