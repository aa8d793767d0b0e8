// SPDX-License-Identifier: MIT
// moblings_solo: one creature in a centred field, turning by small angles and saying
// after every turn test which way the draw fell.
#include "moblery.h"
#include "movement.h"
#include "test_support.h"

#include <cmath>

using SoloTest = PlatformTest;

TEST_F(SoloTest, TheStartAreaFillsTheCentredWindow) {
    moblery factory;
    fake::Draws = {0, 2147483647, 1073741824, 2147483647, 0, 1073741824};
    factory.Populate(2);
    EXPECT_EQ(factory.Moblings[0].GetPosX(), -400);
    EXPECT_EQ(factory.Moblings[0].GetPosY(), 300);
    EXPECT_EQ(factory.Moblings[1].GetPosX(), 400);
    EXPECT_EQ(factory.Moblings[1].GetPosY(), -300);
}

TEST_F(SoloTest, EachTurnTestSaysWhichWayTheDrawFell) {
    movement move;
    std::vector<mobling> all(1);
    all[0].SetHeadingX(1);
    // A turn to 1.5 radians (a draw of 0.575), then a cue of exactly 0.5, which does not
    // turn.
    int rot = static_cast<int>(0.575 * 2147483648.0);
    fake::Draws = {1073741823, rot, 1073741824};
    CoutCapture out;
    move.UpdateMoves(all);
    float turned = static_cast<float>(Unit(rot) * 20 - 10);
    EXPECT_EQ(all[0].GetRot(), turned);
    EXPECT_NEAR(turned, 1.5, 1e-6);
    EXPECT_EQ(all[0].GetHeadingX(), static_cast<float>(std::cos(turned)));
    EXPECT_EQ(all[0].GetHeadingY(), static_cast<float>(std::sin(turned)));
    move.UpdateMoves(all);
    EXPECT_EQ(all[0].GetRot(), turned);
    EXPECT_TRUE(fake::Draws.empty());
    EXPECT_EQ(out.Str(), "random move cue was less that 0.5\n"
                         "random move cue was greater than 0.5\n");
}

TEST_F(SoloTest, NoWallBandAnywhere) {
    movement move;
    mobling m;
    m.SetPosX(-400);
    m.SetPosY(-300);
    m.SetRot(1);
    move.SetHeading(m);
    EXPECT_EQ(m.GetHeadingX(), static_cast<float>(std::cos(1.0)));
    EXPECT_EQ(m.GetHeadingY(), static_cast<float>(std::sin(1.0)));
}
