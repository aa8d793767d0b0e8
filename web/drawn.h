// SPDX-License-Identifier: MIT
// Where the renderer placed its shapes in the frame being drawn, as a trace of its OpenGL
// calls shows it on the desktop: each glTranslatef places a shape, turned by a glRotatef
// that follows before the shape is begun. The page keeps them for the run's positions, and
// draws the creatures' paths on the projection the renderer set.
#ifndef DRAWN_H_
#define DRAWN_H_

#include <vector>

// x, y and rotation of each shape placed since the last swap, in the order placed; the
// rotation is NaN where the shape is not turned. The swap empties it.
std::vector<float>& Drawn();

// The view's left, right, bottom and top edges in world units, as glOrtho last set them;
// all 0 until it has.
float* DrawnView();

// Whether the pass being run is seen: where the platform runs passes faster than it shows
// them, those it will not show place their shapes (Drawn) and draw nothing. Seen unless a
// platform says otherwise.
bool& Seen();

#endif
