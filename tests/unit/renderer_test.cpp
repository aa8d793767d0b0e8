// SPDX-License-Identifier: MIT
// The projection and the drawing calls of a frame, against the fake platform.
#include "renderer.h"
#include "test_support.h"

#include <GL/gl.h>

using fake::Call;

namespace {

class RendererTest : public PlatformTest {
  protected:
    renderer Rend;
};

// The calls that draw one creature at (x, y), inside its matrix bracket.
std::vector<Call> CreatureAt(float x, float y) {
    return {{"glPushMatrix", {}},     {"glTranslatef", {x, y, 0}}, {"glBegin", {GL_QUADS}},
            {"glColor3f", {0, 0, 1}}, {"glVertex2f", {-3, -3}},    {"glVertex2f", {-3, 3}},
            {"glVertex2f", {4, 4}},   {"glVertex2f", {3, -3}},     {"glEnd", {}},
            {"glPopMatrix", {}}};
}

std::vector<Call> Frame(const std::vector<std::vector<Call>>& creatures) {
    std::vector<Call> calls = {{"glLoadIdentity", {}},
                               {"gluLookAt", {0, 0, 1, 0, 0, 0, 0, 1, 0}},
                               {"glClear", {GL_COLOR_BUFFER_BIT}}};
    for (const std::vector<Call>& creature : creatures) {
        calls.insert(calls.end(), creature.begin(), creature.end());
    }
    calls.push_back({"glFlush", {}});
    calls.push_back({"SDL_GL_SwapBuffers", {}});
    return calls;
}

mobling At(float x, float y) {
    mobling m;
    m.SetPosX(x);
    m.SetPosY(y);
    return m;
}

} // namespace

TEST_F(RendererTest, TheProjectionShowsTheFieldWithATenUnitMargin) {
    Rend.GL_Setup();
    std::vector<Call> expected = {
        {"glClearColor", {0, 0, 0, 0}},   {"glMatrixMode", {GL_PROJECTION}},
        {"glLoadIdentity", {}},           {"glOrtho", {-10, 810, -10, 610, -10, 10}},
        {"glMatrixMode", {GL_MODELVIEW}}, {"glLoadIdentity", {}},
    };
    EXPECT_EQ(fake::Calls, expected);
}

TEST_F(RendererTest, EveryCreatureIsDrawnAtItsPositionInIndexOrder) {
    std::vector<mobling> all = {At(400, 300), At(-14.5f, 613.25f), At(400, 300)};
    all[1].SetRot(90); // rotation, size and heading change nothing in the picture
    all[1].SetSize(40);
    Rend.Draw_All(all);
    EXPECT_EQ(fake::Calls,
              Frame({CreatureAt(400, 300), CreatureAt(-14.5f, 613.25f), CreatureAt(400, 300)}));
}

TEST_F(RendererTest, AnEmptyPopulationStillClearsAndSwaps) {
    std::vector<mobling> none;
    Rend.Draw_All(none);
    EXPECT_EQ(fake::Calls, Frame({}));
}

TEST_F(RendererTest, EachFrameSwapsOnceAndLeavesTheCreaturesAsTheyWere) {
    std::vector<mobling> all = {At(1, 2)};
    all[0].SetRot(45);
    all[0].SetHeadingX(0.5f);
    all[0].SetLastPosY(7);
    for (int frame = 0; frame < 3; frame++) {
        Rend.Draw_All(all);
    }
    EXPECT_EQ(fake::CallsOf("SDL_GL_SwapBuffers").size(), 3u);
    EXPECT_EQ(fake::CallsOf("glLoadIdentity").size(), 3u);
    EXPECT_EQ(all[0].GetPosX(), 1);
    EXPECT_EQ(all[0].GetPosY(), 2);
    EXPECT_EQ(all[0].GetRot(), 45);
    EXPECT_EQ(all[0].GetHeadingX(), 0.5f);
    EXPECT_EQ(all[0].GetLastPosY(), 7);
}
