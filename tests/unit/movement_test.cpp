// SPDX-License-Identifier: MIT
// The movement rules of the timed programs: who turns, who steers home, how far a frame
// carries a creature, and in which order the random draws are taken.
#include "movement.h"
#include "test_support.h"

#include <cmath>
#include <vector>

namespace {

class MovementTest : public PlatformTest {
  protected:
    movement Move;

    mobling At(float x, float y, float hx = 1, float hy = 0) {
        mobling m;
        m.SetPosX(x);
        m.SetPosY(y);
        m.SetHeadingX(hx);
        m.SetHeadingY(hy);
        return m;
    }
};

const int TURN = 0;                 // a move cue well below the turn chance
const int STAY = 2147483647;        // a move cue that never turns
const int QUARTER_TURN = 536870912; // a rotation draw of 90 degrees
const int HALF = 1073741824;        // exactly 0.5

} // namespace

TEST_F(MovementTest, OnlyCreaturesStrictlyInsideTheFieldCountAsInside) {
    struct Case {
        float x, y;
        int expected;
    } cases[] = {
        {0, 300, 1},     {800, 300, 1},   {400, 0, 1},         {400, 600, 1},
        {-0.5f, 300, 1}, {0.5f, 0.5f, 0}, {799.5f, 599.5f, 0}, {400, 300, 0},
        {NAN, 300, 1},   {400, NAN, 1},   {INFINITY, 300, 1},
    };
    for (const Case& c : cases) {
        mobling m = At(c.x, c.y);
        EXPECT_EQ(Move.CheckBoundaries(m), c.expected) << "at (" << c.x << ", " << c.y << ")";
    }
}

TEST_F(MovementTest, ACreatureOutsideSteersStraightHomeWithoutDrawing) {
    std::vector<mobling> all = {At(900, 300)};
    all[0].SetRot(33);
    setup::current_time = 16;
    fake::Draws = {STAY};
    Move.UpdateMoves(all);
    EXPECT_EQ(all[0].GetHeadingX(), -1);
    EXPECT_EQ(all[0].GetHeadingY(), 0);
    EXPECT_EQ(all[0].GetPosX(), 892);
    EXPECT_EQ(all[0].GetPosY(), 300);
    EXPECT_EQ(all[0].GetLastPosX(), 900);
    EXPECT_EQ(all[0].GetLastPosY(), 300);
    EXPECT_EQ(all[0].GetRot(), 33); // steering leaves the rotation as it was
    EXPECT_EQ(fake::Draws.size(), 1u);
}

TEST_F(MovementTest, SteeringOnABorderLinePointsAtTheCentre) {
    struct Case {
        float x, y;
    } cases[] = {{0, 300}, {800, 0}, {400, 600}, {-1000, 2000}, {123.25f, 0}};
    for (const Case& c : cases) {
        mobling m = At(c.x, c.y);
        Move.HeadToCentre(m);
        float tx = static_cast<float>(400.0 - c.x);
        float ty = static_cast<float>(300.0 - c.y);
        float length = static_cast<float>(std::sqrt(double(tx) * tx + double(ty) * ty));
        EXPECT_EQ(m.GetHeadingX(), static_cast<float>(tx / double(length)));
        EXPECT_EQ(m.GetHeadingY(), static_cast<float>(ty / double(length)));
        EXPECT_NEAR(std::hypot(m.GetHeadingX(), m.GetHeadingY()), 1, 1e-6);
    }
}

TEST_F(MovementTest, SteeringFromTheCentreItselfKeepsTheHeading) {
    mobling m = At(400, 300, 0.6f, -0.8f);
    Move.HeadToCentre(m);
    EXPECT_EQ(m.GetHeadingX(), 0.6f);
    EXPECT_EQ(m.GetHeadingY(), -0.8f);
}

TEST_F(MovementTest, DrawsAreTakenInIndexOrderAndOnlyByCreaturesInside) {
    std::vector<mobling> all = {At(100, 100), At(-50, 300), At(700, 500), At(400, 300)};
    setup::current_time = 0;
    // Creature 0 turns a quarter; creature 1 is outside and draws nothing; creature 2
    // tests exactly 0.5, which is not below the turn chance; creature 3 turns to 0.
    fake::Draws = {TURN, QUARTER_TURN, HALF, TURN, 0, 42};
    Move.UpdateMoves(all);
    EXPECT_EQ(fake::Draws.size(), 1u);
    EXPECT_EQ(all[0].GetRot(), 90);
    EXPECT_EQ(all[0].GetHeadingX(), static_cast<float>(std::cos(90 * 0.017453292519444445)));
    EXPECT_EQ(all[0].GetHeadingY(), 1);
    EXPECT_EQ(all[1].GetHeadingX(), 1); // steered home along +x
    EXPECT_EQ(all[2].GetRot(), 0);
    EXPECT_EQ(all[2].GetHeadingX(), 1);
    EXPECT_EQ(all[3].GetRot(), 0);
    EXPECT_EQ(all[3].GetHeadingX(), 1);
    EXPECT_EQ(all[3].GetHeadingY(), 0);
}

TEST_F(MovementTest, TheTurnThresholdIsTwoToTheThirty) {
    mobling below = At(10, 10, 0, 1);
    fake::Draws = {HALF - 1, QUARTER_TURN};
    Move.Amble(below);
    EXPECT_EQ(below.GetRot(), 90);
    EXPECT_TRUE(fake::Draws.empty());

    mobling at = At(10, 10, 0, 1);
    fake::Draws = {HALF, QUARTER_TURN};
    Move.Amble(at);
    EXPECT_EQ(at.GetRot(), 0);
    EXPECT_EQ(at.GetHeadingY(), 1);
    EXPECT_EQ(fake::Draws.size(), 1u);
}

TEST_F(MovementTest, TheLargestRotationDrawGivesAFullTurn) {
    mobling m = At(10, 10, 0, 1);
    fake::Draws = {TURN, 2147483647};
    Move.Amble(m);
    EXPECT_EQ(m.GetRot(), 360);
    EXPECT_EQ(m.GetHeadingX(), 1);
    EXPECT_NEAR(m.GetHeadingY(), 0, 1e-6);
}

TEST_F(MovementTest, AZeroLengthFrameMovesNothingButStillTurnsAndSteers) {
    std::vector<mobling> all = {At(100, 200), At(850, 650)};
    setup::current_time = 0;
    fake::Draws = {TURN, QUARTER_TURN};
    Move.UpdateMoves(all);
    EXPECT_EQ(all[0].GetPosX(), 100);
    EXPECT_EQ(all[0].GetPosY(), 200);
    EXPECT_EQ(all[0].GetLastPosX(), 100);
    EXPECT_EQ(all[0].GetLastPosY(), 200);
    EXPECT_EQ(all[0].GetRot(), 90);
    EXPECT_EQ(all[1].GetPosX(), 850);
    EXPECT_LT(all[1].GetHeadingX(), 0);
    EXPECT_LT(all[1].GetHeadingY(), 0);
}

TEST_F(MovementTest, AStepIsSpeedTimesHeadingTimesFrameTimeFormedInDouble) {
    // A speed that is not a power of two makes single-precision products round
    // differently; look for a heading where they do.
    mobling m = At(100, 200);
    m.SetSpeed(0.1f);
    setup::current_time = 37;
    float hx = 0.3f;
    for (;; hx = std::nextafter(hx, 1.0f)) {
        float single = 100.0f + (0.1f * hx) * 37.0f;
        float twice = static_cast<float>(100.0 + (double(0.1f) * hx) * 37.0);
        if (single != twice) {
            break;
        }
    }
    m.SetHeadingX(hx);
    m.SetHeadingY(-0.5f);
    Move.SetNewPosition(m);
    EXPECT_EQ(m.GetPosX(), static_cast<float>(100.0 + (double(0.1f) * hx) * 37.0));
    EXPECT_EQ(m.GetPosY(), static_cast<float>(200.0 + (double(0.1f) * -0.5) * 37.0));
}

TEST_F(MovementTest, ALongFrameCarriesACreatureFarOutAndItIsSteeredBack) {
    std::vector<mobling> all = {At(700, 300, 1, 0)};
    setup::current_time = 2000;
    fake::Draws = {STAY};
    Move.UpdateMoves(all);
    EXPECT_EQ(all[0].GetPosX(), 1700);
    setup::current_time = 16;
    for (int frame = 0; frame < 200 && Move.CheckBoundaries(all[0]); frame++) {
        Move.UpdateMoves(all);
    }
    EXPECT_EQ(Move.CheckBoundaries(all[0]), 0);
    EXPECT_EQ(all[0].GetHeadingX(), -1);
}

TEST_F(MovementTest, AnEmptyPopulationIsLeftAlone) {
    std::vector<mobling> none;
    fake::Draws = {TURN};
    Move.UpdateMoves(none);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(fake::Draws.size(), 1u);
}
