// SPDX-License-Identifier: MIT
// moblings_spin and moblings_wander: creatures turn wherever they are, mirrored in the
// wall band even far beyond the wall.
#include "movement.h"
#include "test_support.h"

#include <cmath>

using TurnAnywhereTest = PlatformTest;

TEST_F(TurnAnywhereTest, ACreatureFarOutsideStillTurns) {
    movement move;
    std::vector<mobling> all(2);
    all[0].SetPosX(-50);
    all[0].SetPosY(300);
    all[1].SetPosX(400);
    all[1].SetPosY(900);
    fake::Draws = {0, 536870912, 0, 1073741824, 7};
    move.UpdateMoves(all);
    EXPECT_EQ(fake::Draws.size(), 1u);
    EXPECT_EQ(all[0].GetRot(), 90);
    EXPECT_EQ(all[0].GetHeadingX(), -static_cast<float>(std::cos(90.0)));
    EXPECT_EQ(all[0].GetHeadingY(), static_cast<float>(std::sin(90.0)));
    EXPECT_EQ(all[1].GetRot(), 180);
    EXPECT_EQ(all[1].GetHeadingY(), -static_cast<float>(std::sin(180.0)));
}
