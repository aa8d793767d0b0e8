// SPDX-License-Identifier: MIT
// The programs that draw each shape turned by its rotation, read as degrees.
#include "renderer.h"
#include "test_support.h"

#include <GL/gl.h>

using fake::Call;

using DrawnTurnedTest = PlatformTest;

TEST_F(DrawnTurnedTest, EachShapeIsTurnedAboutItsOwnPosition) {
    std::vector<mobling> all(2);
    all[0].SetPosX(10);
    all[0].SetPosY(-20);
    all[0].SetRot(90);
    all[1].SetRot(-1.5f);
    renderer rend;
    rend.Draw_All(all);
    std::vector<Call> brackets;
    for (const Call& call : fake::Calls) {
        if (call.Name == "glPushMatrix" || call.Name == "glTranslatef" ||
            call.Name == "glRotatef" || call.Name == "glBegin" || call.Name == "glPopMatrix") {
            brackets.push_back(call);
        }
    }
    std::vector<Call> expected = {
        {"glPushMatrix", {}},         {"glTranslatef", {10, -20, 0}},
        {"glRotatef", {90, 0, 0, 1}}, {"glBegin", {GL_QUADS}},
        {"glPopMatrix", {}},          {"glPushMatrix", {}},
        {"glTranslatef", {0, 0, 0}},  {"glRotatef", {-1.5f, 0, 0, 1}},
        {"glBegin", {GL_QUADS}},      {"glPopMatrix", {}},
    };
    EXPECT_EQ(brackets, expected);
}
