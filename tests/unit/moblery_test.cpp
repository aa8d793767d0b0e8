// SPDX-License-Identifier: MIT
// The factory: how many draws a population takes, in which order, and the arithmetic that
// turns a draw into a position, a rotation and a heading.
#include "moblery.h"
#include "test_support.h"

#include <cmath>
#include <cstdlib>

using MobleryTest = PlatformTest;

namespace {

// A draw whose position comes out differently when the product is formed in single
// precision, so a test can tell the two apart.
int DrawThatSinglePrecisionGetsWrong(int scale) {
    for (int r = 12345679;; r += 7) {
        float single = static_cast<float>(r) / 2147483648.0f * scale;
        float twice = static_cast<float>(r / 2147483648.0 * scale);
        if (single != twice) {
            return r;
        }
    }
}

} // namespace

TEST_F(MobleryTest, NothingHappensForZeroOrNegativeCounts) {
    moblery factory;
    fake::Draws = {7};
    factory.Populate(0);
    factory.Populate(-3);
    EXPECT_EQ(factory.GetPopulation(), 0);
    EXPECT_EQ(mobling::count, 0);
    EXPECT_EQ(fake::Draws.size(), 1u); // no draw taken
}

TEST_F(MobleryTest, EachCreatureTakesThreeDrawsInTheOrderXYRotation) {
    moblery factory;
    // Creature 0: the smallest draw, then the largest twice; creature 1: a quarter turn.
    fake::Draws = {0, 2147483647, 2147483647, 1073741824, 536870912, 536870912, 99};
    factory.Populate(2);
    ASSERT_EQ(factory.GetPopulation(), 2);
    EXPECT_EQ(fake::Draws.size(), 1u);

    mobling& a = factory.Moblings[0];
    EXPECT_EQ(a.GetPosX(), 0);
    EXPECT_EQ(a.GetPosY(), 600); // the largest draws round up to the field's edge
    EXPECT_EQ(a.GetRot(), 360);
    EXPECT_EQ(a.GetHeadingX(), 1);
    EXPECT_NEAR(a.GetHeadingY(), 0, 1e-6);

    mobling& b = factory.Moblings[1];
    EXPECT_EQ(b.GetPosX(), 400);
    EXPECT_EQ(b.GetPosY(), 150);
    EXPECT_EQ(b.GetRot(), 90);
    // The degree factor is slightly below pi/180, so a quarter turn falls just short.
    EXPECT_GT(b.GetHeadingX(), 0);
    EXPECT_LT(b.GetHeadingX(), 1e-9);
    EXPECT_EQ(b.GetHeadingY(), 1);
}

TEST_F(MobleryTest, RotationZeroHeadsAlongX) {
    moblery factory;
    fake::Draws = {5, 5, 0};
    factory.Populate(1);
    EXPECT_EQ(factory.Moblings[0].GetRot(), 0);
    EXPECT_EQ(factory.Moblings[0].GetHeadingX(), 1);
    EXPECT_EQ(factory.Moblings[0].GetHeadingY(), 0);
}

TEST_F(MobleryTest, DrawsBecomeFloatsOnlyWhenStored) {
    int x = DrawThatSinglePrecisionGetsWrong(WIDTH);
    int y = DrawThatSinglePrecisionGetsWrong(HEIGHT);
    int rot = DrawThatSinglePrecisionGetsWrong(360);
    moblery factory;
    fake::Draws = {x, y, rot};
    factory.Populate(1);
    mobling& m = factory.Moblings[0];
    EXPECT_EQ(m.GetPosX(), static_cast<float>(Unit(x) * 800));
    EXPECT_EQ(m.GetPosY(), static_cast<float>(Unit(y) * 600));
    EXPECT_EQ(m.GetRot(), static_cast<float>(Unit(rot) * 360));
    double angle = static_cast<double>(m.GetRot()) * 0.017453292519444445;
    EXPECT_EQ(m.GetHeadingX(), static_cast<float>(std::cos(angle)));
    EXPECT_EQ(m.GetHeadingY(), static_cast<float>(std::sin(angle)));
}

TEST_F(MobleryTest, TheDegreeFactorIsTheShortenedPiOver180) {
    EXPECT_EQ(DEGTORAD, 0.017453292519444445);
    EXPECT_LT(DEGTORAD, M_PI / 180);
}

TEST_F(MobleryTest, ASeedReproducesThePopulationBitForBit) {
    std::srand(2026);
    moblery factory;
    factory.Populate(5);
    EXPECT_EQ(mobling::count, 5);

    // Replay the same sequence by hand: x, y, rotation per creature, in index order.
    std::srand(2026);
    for (int i = 0; i < 5; i++) {
        mobling& m = factory.Moblings[i];
        float x = static_cast<float>(Unit(std::rand()) * 800);
        float y = static_cast<float>(Unit(std::rand()) * 600);
        float rot = static_cast<float>(Unit(std::rand()) * 360);
        EXPECT_EQ(m.GetPosX(), x) << "creature " << i;
        EXPECT_EQ(m.GetPosY(), y) << "creature " << i;
        EXPECT_EQ(m.GetRot(), rot) << "creature " << i;
    }
}

TEST_F(MobleryTest, CreaturesKeepTheirStateWhileTheStorageGrows) {
    std::srand(11);
    moblery factory;
    factory.Populate(300);
    std::srand(11);
    for (int i = 0; i < 300; i++) {
        float x = static_cast<float>(Unit(std::rand()) * 800);
        float y = static_cast<float>(Unit(std::rand()) * 600);
        float rot = static_cast<float>(Unit(std::rand()) * 360);
        ASSERT_EQ(factory.Moblings[i].GetPosX(), x) << "creature " << i;
        ASSERT_EQ(factory.Moblings[i].GetPosY(), y) << "creature " << i;
        ASSERT_EQ(factory.Moblings[i].GetRot(), rot) << "creature " << i;
    }
    EXPECT_EQ(mobling::count, 300);
}

TEST_F(MobleryTest, SpawnAloneAppendsAnUnplacedCreatureAndDrawsNothing) {
    moblery factory;
    fake::Draws = {1};
    factory.SpawnMobling();
    ASSERT_EQ(factory.GetPopulation(), 1);
    EXPECT_EQ(factory.Moblings[0].GetPosX(), 0);
    EXPECT_EQ(factory.Moblings[0].GetPosY(), 0);
    EXPECT_EQ(factory.Moblings[0].GetRot(), 0);
    EXPECT_EQ(mobling::count, 1);
    EXPECT_EQ(fake::Draws.size(), 1u);
    factory.KillMobling();
    EXPECT_EQ(factory.GetPopulation(), 1);
}

TEST_F(MobleryTest, ASecondPopulatePlacesTheNewCreaturesNotTheOldOnes) {
    moblery factory;
    fake::Draws = {1073741824, 1073741824, 0};
    factory.Populate(1);
    fake::Draws = {0, 0, 1073741824};
    factory.Populate(1);
    ASSERT_EQ(factory.GetPopulation(), 2);
    EXPECT_EQ(factory.Moblings[0].GetPosX(), 400);
    EXPECT_EQ(factory.Moblings[0].GetRot(), 0);
    EXPECT_EQ(factory.Moblings[1].GetPosX(), 0);
    EXPECT_EQ(factory.Moblings[1].GetRot(), 180);
}
