// SPDX-License-Identifier: MIT
// moblings_herd: the reference rules with fifty slow creatures that rarely turn.
#include "moblery.h"
#include "movement.h"
#include "test_support.h"

using HerdTest = PlatformTest;

TEST_F(HerdTest, FiftySlowCreaturesNumberedFromOne) {
    moblery factory;
    factory.Populate(SETTINGS.Population);
    EXPECT_EQ(factory.GetPopulation(), 50);
    EXPECT_EQ(mobling::count, 50);
    for (mobling& m : factory.Moblings) {
        EXPECT_EQ(m.GetSpeed(), 0.1f);
        EXPECT_EQ(m.GetSize(), 3);
    }
}

TEST_F(HerdTest, ACreatureTurnsOnlyWhenTheDrawIsAtMostOneThousandth) {
    // 2147483 / 2^31 lies just below 0.001 and 2147484 / 2^31 just above; the cue is
    // compared in double precision, where the two fall on either side.
    movement move;
    mobling turns;
    turns.SetPosX(100);
    turns.SetPosY(100);
    fake::Draws = {2147483, 536870912};
    move.Amble(turns);
    EXPECT_EQ(turns.GetRot(), 90);
    EXPECT_TRUE(fake::Draws.empty());

    mobling stays;
    fake::Draws = {2147484, 536870912};
    move.Amble(stays);
    EXPECT_EQ(stays.GetRot(), 0);
    EXPECT_EQ(fake::Draws.size(), 1u);
}

TEST_F(HerdTest, AFrameCarriesACreatureATenthOfAUnitPerMillisecond) {
    movement move;
    std::vector<mobling> all(1);
    all[0].SetPosX(100);
    all[0].SetPosY(100);
    all[0].SetHeadingX(1);
    all[0].SetHeadingY(0);
    setup::current_time = 20;
    fake::Draws = {2147483647};
    move.UpdateMoves(all);
    EXPECT_EQ(all[0].GetPosX(), static_cast<float>(100 + static_cast<double>(0.1f) * 20));
    EXPECT_EQ(all[0].GetPosY(), 100);
}
