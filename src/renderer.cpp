// SPDX-License-Identifier: MIT
// Immediate-mode drawing of the population. Nothing here changes a creature.
#include "renderer.h"
#include "setup.h"

#include "SDL.h"
#include <GL/gl.h>
#include <GL/glu.h>

// The field's margin inside the window, in world units, when it is not centred.
const double MARGIN = 10;

void renderer::GL_Setup() {
    glClearColor(0, 0, 0, 0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (SETTINGS.Centred) {
        glOrtho(-CENTREX, CENTREX, -CENTREY, CENTREY, -10, 10);
    } else {
        glOrtho(-MARGIN, WIDTH + MARGIN, -MARGIN, HEIGHT + MARGIN, -10, 10);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void renderer::Draw_All(std::vector<mobling>& Moblings) {
    glLoadIdentity();
    gluLookAt(0, 0, 1, 0, 0, 0, 0, 1, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    for (mobling& m : Moblings) {
        glPushMatrix();
        glTranslatef(static_cast<float>(m.GetPosX()), static_cast<float>(m.GetPosY()), 0);
        if (SETTINGS.DrawTurned) {
            glRotatef(m.GetRot(), 0, 0, 1);
        }
        Draw_Mobling();
        glPopMatrix();
    }
    glFlush();
    SDL_GL_SwapBuffers();
}

void renderer::Draw_Mobling() {
    glBegin(GL_QUADS);
    glColor3f(0, 0, 1);
    // Clockwise from the lower left; the upper-right corner sticks out one unit further.
    glVertex2f(-3, -3);
    glVertex2f(-3, 3);
    glVertex2f(4, 4);
    glVertex2f(3, -3);
    glEnd();
}
