// SPDX-License-Identifier: MIT
// moblings_fenced: only a creature strictly inside the field may turn; one on or beyond
// a border line walks straight on and takes no draw.
#include "movement.h"
#include "test_support.h"

#include <cmath>

namespace {

mobling At(float x, float y) {
    mobling m;
    m.SetPosX(x);
    m.SetPosY(y);
    m.SetHeadingX(1);
    m.SetHeadingY(0);
    return m;
}

} // namespace

using FencedTest = PlatformTest;

TEST_F(FencedTest, ACreatureOnABorderLineNeitherTurnsNorDraws) {
    movement move;
    float border[][2] = {{0, 300}, {800, 300}, {400, 0}, {400, 600}, {-50, 300}};
    for (auto& at : border) {
        std::vector<mobling> all = {At(at[0], at[1])};
        fake::Draws = {0, 536870912};
        move.UpdateMoves(all);
        EXPECT_EQ(fake::Draws.size(), 2u) << "at (" << at[0] << ", " << at[1] << ")";
        EXPECT_EQ(all[0].GetHeadingX(), 1);
        EXPECT_EQ(all[0].GetPosX(), at[0] + 1);
    }
}

TEST_F(FencedTest, ACreatureOutsideLeavesItsDrawsToTheCreaturesAfterIt) {
    movement move;
    std::vector<mobling> all = {At(-50, 300), At(5, 300)};
    // Both draws go to the second creature: it turns, to 90 radians, mirrored in x.
    fake::Draws = {0, 536870912, 7};
    move.UpdateMoves(all);
    EXPECT_EQ(fake::Draws.size(), 1u);
    EXPECT_EQ(all[0].GetRot(), 0);
    EXPECT_EQ(all[1].GetRot(), 90);
    EXPECT_EQ(all[1].GetHeadingX(), -static_cast<float>(std::cos(90.0)));
}
