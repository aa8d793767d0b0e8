// SPDX-License-Identifier: MIT
// What every untimed program shares: creatures that announce themselves, start
// rotations read as radians, and one unit step along the heading per frame, whatever the
// frame time.
#include "moblery.h"
#include "movement.h"
#include "test_support.h"

#include <cmath>

using UntimedTest = PlatformTest;

TEST_F(UntimedTest, EachCreatureMadeSaysSpawningAndCopiesSayNothing) {
    CoutCapture out;
    moblery factory;
    factory.Populate(SETTINGS.Population);
    std::string expected;
    for (int i = 0; i < SETTINGS.Population; i++) {
        expected += "spawning!\n";
    }
    EXPECT_EQ(out.Str(), expected);
    EXPECT_EQ(mobling::count, SETTINGS.Population);
}

TEST_F(UntimedTest, StartRotationsLieBetweenMinusTenAndTenAndHeadAsRadians) {
    struct Case {
        int draw;
        float rot;
    } cases[] = {{1073741824, 0}, {2147483647, 10}, {0, -10}};
    for (const Case& c : cases) {
        moblery factory;
        fake::Draws = {0, 0, c.draw};
        factory.Populate(1);
        mobling& m = factory.Moblings[0];
        EXPECT_EQ(m.GetRot(), c.rot);
        EXPECT_EQ(m.GetHeadingX(), static_cast<float>(std::cos(c.rot)));
        EXPECT_EQ(m.GetHeadingY(), static_cast<float>(std::sin(c.rot)));
    }
    // 10 radians points down and to the left, -10 up and to the left.
    EXPECT_LT(std::cos(10.0), 0);
    EXPECT_LT(std::sin(10.0), 0);
    EXPECT_GT(std::sin(-10.0), 0);
}

TEST_F(UntimedTest, EachFrameStepsByTheHeadingWhateverTheFrameTook) {
    movement move;
    std::vector<mobling> all(1);
    all[0].SetPosX(100.25f);
    all[0].SetPosY(200);
    all[0].SetHeadingX(0.6f);
    all[0].SetHeadingY(-0.8f);
    setup::current_time = 1000;
    float x = 100.25f, y = 200;
    for (int frame = 0; frame < 10; frame++) {
        fake::Draws = {2147483647}; // never turns
        move.UpdateMoves(all);
        x = static_cast<float>(static_cast<double>(x) + 0.6f);
        y = static_cast<float>(static_cast<double>(y) + -0.8f);
    }
    EXPECT_EQ(all[0].GetPosX(), x);
    EXPECT_EQ(all[0].GetPosY(), y);
    EXPECT_EQ(all[0].GetLastPosX(), static_cast<float>(static_cast<double>(x) - 0.6f));
}

TEST_F(UntimedTest, NothingSteersACreatureHome) {
    movement move;
    std::vector<mobling> all(1);
    all[0].SetPosX(-500);
    all[0].SetPosY(300);
    all[0].SetHeadingX(-1);
    all[0].SetHeadingY(0);
    fake::Draws = {2147483647, 2147483647};
    move.UpdateMoves(all);
    EXPECT_EQ(all[0].GetHeadingX(), -1);
    EXPECT_EQ(all[0].GetPosX(), -501);
}
