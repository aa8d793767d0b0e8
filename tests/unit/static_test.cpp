// SPDX-License-Identifier: MIT
// moblings, the static swarm: whole-number positions in a centred field, the rotation
// drawn first, and the report written when the run ends.
#include "moblery.h"
#include "test_support.h"

using StaticTest = PlatformTest;

TEST_F(StaticTest, EachCreatureDrawsRotationThenXThenY) {
    moblery factory;
    CoutCapture out;
    fake::Draws = {1073741824, 0, 2147483647, 0, 1073741824, 1073741824, 99};
    factory.Populate(2);
    EXPECT_EQ(fake::Draws.size(), 1u);
    EXPECT_EQ(factory.Moblings[0].GetRot(), 0);
    EXPECT_EQ(factory.Moblings[0].GetPosX(), -400);
    EXPECT_EQ(factory.Moblings[0].GetPosY(), 299);
    EXPECT_EQ(factory.Moblings[1].GetRot(), -180);
    EXPECT_EQ(factory.Moblings[1].GetPosX(), 0);
    EXPECT_EQ(factory.Moblings[1].GetPosY(), 0);
    EXPECT_EQ(out.Str(), "spawning!\nspawning!\n");
}

TEST_F(StaticTest, PositionsAreTruncatedTowardsZero) {
    // One unit of x is 2684354.56 draws. Draws within a unit either side of the middle
    // both become 0, so 0 is twice as likely as any other coordinate; -400 needs a draw
    // of exactly 0.
    const int middle = 1073741824;
    struct Case {
        int draw, x;
    } cases[] = {{middle, 0},
                 {middle + 2684354, 0},
                 {middle - 2684354, 0},
                 {middle + 2684355, 1},
                 {middle - 2684355, -1},
                 {1, -399},
                 {0, -400},
                 {2147483647, 399}};
    for (const Case& c : cases) {
        moblery factory;
        fake::Draws = {0, c.draw, middle};
        factory.Populate(1);
        EXPECT_EQ(factory.Moblings[0].GetPosX(), c.x) << "draw " << c.draw;
    }
}

TEST_F(StaticTest, TheReportGivesPlaceAndRotationOnly) {
    mobling m;
    m.SetPosX(-17);
    m.SetPosY(299);
    m.SetRot(-123.456789f);
    CoutCapture out;
    m.Print();
    EXPECT_EQ(out.Str(), "PosX is -17\n"
                         "PosY is 299\n"
                         "Rotation value is -123.457\n");
}
