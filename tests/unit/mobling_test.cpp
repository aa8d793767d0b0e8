// SPDX-License-Identifier: MIT
// The creature record: construction, copies and the diagnostic dump.
#include "test_support.h"

#include <cmath>

using MoblingTest = PlatformTest;

TEST_F(MoblingTest, NewCreatureStartsAtRestAtTheOriginWithEveryFieldSet) {
    mobling m;
    EXPECT_EQ(m.GetSpeed(), SETTINGS.DefaultSpeed);
    EXPECT_EQ(m.GetSize(), 3);
    EXPECT_EQ(m.GetPosX(), 0);
    EXPECT_EQ(m.GetPosY(), 0);
    EXPECT_EQ(m.GetRot(), 0);
    // Nothing may read an unset value, even a dump of a creature that never moved.
    EXPECT_EQ(m.GetLastPosX(), 0);
    EXPECT_EQ(m.GetLastPosY(), 0);
    EXPECT_EQ(m.GetHeadingX(), 0);
    EXPECT_EQ(m.GetHeadingY(), 0);
}

TEST_F(MoblingTest, CountGrowsWithEachConstructionButNotWithCopies) {
    mobling first;
    EXPECT_EQ(mobling::count, 1);
    {
        mobling second, third, fourth, fifth;
        EXPECT_EQ(mobling::count, 5);
    }
    EXPECT_EQ(mobling::count, 5); // destruction takes nothing away

    first.SetPosX(12.5f);
    first.SetHeadingY(-0.25f);
    mobling copy(first);
    mobling assigned;
    EXPECT_EQ(mobling::count, 6);
    assigned = first;
    EXPECT_EQ(mobling::count, 6);
    EXPECT_EQ(copy.GetPosX(), 12.5f);
    EXPECT_EQ(copy.GetHeadingY(), -0.25f);
    EXPECT_EQ(assigned.GetPosX(), 12.5f);
    EXPECT_EQ(assigned.GetHeadingY(), -0.25f);
}

TEST_F(MoblingTest, AccessorsNeitherWrapNorClamp) {
    mobling m;
    m.SetRot(400);
    m.SetPosX(-10);
    m.SetPosY(1000);
    m.SetSpeed(-2.5f);
    m.SetSize(-7);
    m.SetLastPosX(NAN);
    EXPECT_EQ(m.GetRot(), 400);
    EXPECT_EQ(m.GetPosX(), -10);
    EXPECT_EQ(m.GetPosY(), 1000);
    EXPECT_EQ(m.GetSpeed(), -2.5f);
    EXPECT_EQ(m.GetSize(), -7);
    EXPECT_TRUE(std::isnan(m.GetLastPosX()));
}

TEST_F(MoblingTest, PrintWritesSevenLabelledLinesInFieldOrder) {
    mobling m;
    m.SetPosX(400);
    m.SetPosY(300);
    m.SetLastPosX(398);
    m.SetLastPosY(300);
    m.SetRot(0);
    m.SetHeadingX(1);
    m.SetHeadingY(0);
    CoutCapture out;
    m.Print();
    EXPECT_EQ(out.Str(), "PosX is 400\n"
                         "PosY is 300\n"
                         "Last PosX was 398\n"
                         "Last PosY was 300\n"
                         "Rotation value is 0\n"
                         "HeadingX is 1\n"
                         "HeadingY is 0\n");
}

TEST_F(MoblingTest, PrintUsesTheStreamsDefaultSixDigitFormat) {
    mobling m;
    m.SetPosX(0.5f);
    m.SetPosY(123.456789f);
    m.SetRot(1e-7f);
    CoutCapture out;
    m.Print();
    EXPECT_EQ(out.Str(), "PosX is 0.5\n"
                         "PosY is 123.457\n"
                         "Last PosX was 0\n"
                         "Last PosY was 0\n"
                         "Rotation value is 1e-07\n"
                         "HeadingX is 0\n"
                         "HeadingY is 0\n");
}

TEST_F(MoblingTest, ConstructionWritesNothing) {
    CoutCapture out;
    mobling m;
    mobling copy(m);
    EXPECT_EQ(out.Str(), "");
}
