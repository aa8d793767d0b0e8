// SPDX-License-Identifier: MIT
// The wall band: a new heading's component is mirrored when the creature turns within
// five units of a wall, or beyond it.
#include "moblery.h"
#include "movement.h"
#include "test_support.h"

#include <cmath>

namespace {

class WallBandTest : public PlatformTest {
  protected:
    movement Move;

    // The heading a creature at (x, y) takes when it turns to rotation 1 (radians).
    mobling TurnAt(float x, float y) {
        mobling m;
        m.SetPosX(x);
        m.SetPosY(y);
        m.SetRot(1);
        Move.SetHeading(m);
        return m;
    }
};

const float COS1 = static_cast<float>(std::cos(1.0));
const float SIN1 = static_cast<float>(std::sin(1.0));

} // namespace

TEST_F(WallBandTest, TheBandIncludesItsEdgeAndEndsHalfAUnitFurtherIn) {
    struct Case {
        float x, y, hx, hy;
    } cases[] = {
        {5, 300, -COS1, SIN1},     {795, 300, -COS1, SIN1},   {5.5f, 300, COS1, SIN1},
        {794.5f, 300, COS1, SIN1}, {400, 5, COS1, -SIN1},     {400, 595, COS1, -SIN1},
        {400, 5.5f, COS1, SIN1},   {400, 594.5f, COS1, SIN1}, {2, 598, -COS1, -SIN1},
        {-50, 300, -COS1, SIN1},   {400, 300, COS1, SIN1},
    };
    for (const Case& c : cases) {
        mobling m = TurnAt(c.x, c.y);
        EXPECT_EQ(m.GetHeadingX(), c.hx) << "at (" << c.x << ", " << c.y << ")";
        EXPECT_EQ(m.GetHeadingY(), c.hy) << "at (" << c.x << ", " << c.y << ")";
        EXPECT_EQ(m.GetRot(), 1); // the rotation keeps what was drawn
    }
}

TEST_F(WallBandTest, AStartHeadingIsNeverMirrored) {
    moblery factory;
    // x = 0, y = 0, rotation 0: on the corner, heading straight along +x.
    fake::Draws = {0, 0, 1073741824};
    factory.Populate(1);
    EXPECT_EQ(factory.Moblings[0].GetHeadingX(), 1);
    EXPECT_EQ(factory.Moblings[0].GetHeadingY(), 0);
}

TEST_F(WallBandTest, ATurnDrawsTheNewRotationFromAFullCircle) {
    mobling m;
    m.SetPosX(400);
    m.SetPosY(300);
    fake::Draws = {0, 536870912};
    Move.Amble(m);
    EXPECT_EQ(m.GetRot(), 90);
    EXPECT_EQ(m.GetHeadingX(), static_cast<float>(std::cos(90.0)));
    EXPECT_EQ(m.GetHeadingY(), static_cast<float>(std::sin(90.0)));
}
