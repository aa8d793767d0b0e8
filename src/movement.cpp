// SPDX-License-Identifier: MIT
// The movement rules. Every product and sum is formed in double precision and rounded
// to float only where it is stored, so a seed and a sequence of frame times repeat a run
// bit for bit.
#include "movement.h"
#include "setup.h"

#include <cmath>
#include <iostream>

// How close to a wall a new heading is mirrored, when the program asks for it.
const double WALL_GAP = 5;

int movement::CheckBoundaries(mobling& m) {
    // Written so that a coordinate that is not a number counts as outside.
    if (m.GetPosX() > 0 && m.GetPosX() < WIDTH && m.GetPosY() > 0 && m.GetPosY() < HEIGHT) {
        return 0;
    }
    return 1;
}

void movement::SetRandomRot(mobling& m) {
    m.SetRot(static_cast<float>(RandomUnit() * (SETTINGS.TurnRotMax - SETTINGS.TurnRotMin) +
                                SETTINGS.TurnRotMin));
}

void movement::SetHeading(mobling& m) {
    // Degrees in the timed programs, radians in the others (see the factory).
    double angle = m.GetRot() * (SETTINGS.Timed ? DEGTORAD : 1.0);
    float headingX = static_cast<float>(std::cos(angle));
    float headingY = static_cast<float>(std::sin(angle));
    // The mirror flips a component whatever its sign, so it may point at the wall as well
    // as away from it; the rotation is left as drawn.
    if (SETTINGS.WallBand) {
        if (m.GetPosX() <= WALL_GAP || m.GetPosX() >= WIDTH - WALL_GAP) {
            headingX = -headingX;
        }
        if (m.GetPosY() <= WALL_GAP || m.GetPosY() >= HEIGHT - WALL_GAP) {
            headingY = -headingY;
        }
    }
    m.SetHeadingX(headingX);
    m.SetHeadingY(headingY);
}

void movement::Amble(mobling& m) {
    double cue = RandomUnit();
    if (cue < SETTINGS.TurnChance) {
        if (SETTINGS.SayCue) {
            std::cout << "random move cue was less that 0.5" << std::endl;
        }
        SetRandomRot(m);
        SetHeading(m);
    } else if (SETTINGS.SayCue) {
        std::cout << "random move cue was greater than 0.5" << std::endl;
    }
}

void movement::HeadToCentre(mobling& m) {
    float tempX = static_cast<float>(static_cast<double>(CENTREX) - m.GetPosX());
    float tempY = static_cast<float>(static_cast<double>(CENTREY) - m.GetPosY());
    float length = static_cast<float>(
        std::sqrt(static_cast<double>(tempX) * tempX + static_cast<double>(tempY) * tempY));
    // At the centre itself there is no direction to take: keep the heading it has.
    if (length == 0) {
        return;
    }
    m.SetHeadingX(static_cast<float>(static_cast<double>(tempX) / length));
    m.SetHeadingY(static_cast<float>(static_cast<double>(tempY) / length));
}

void movement::SetNewPosition(mobling& m) {
    if (SETTINGS.Timed) {
        double t = setup::current_time;
        m.SetPosX(static_cast<Position>(m.GetPosX() +
                                        (static_cast<double>(m.GetSpeed()) * m.GetHeadingX()) * t));
        m.SetPosY(static_cast<Position>(m.GetPosY() +
                                        (static_cast<double>(m.GetSpeed()) * m.GetHeadingY()) * t));
    } else {
        // One unit step per frame, however long the frame took.
        m.SetPosX(static_cast<Position>(static_cast<double>(m.GetPosX()) + m.GetHeadingX()));
        m.SetPosY(static_cast<Position>(static_cast<double>(m.GetPosY()) + m.GetHeadingY()));
    }
}

void movement::UpdateMoves(std::vector<mobling>& Moblings) {
    for (mobling& m : Moblings) {
        m.SetLastPosX(static_cast<float>(m.GetPosX()));
        m.SetLastPosY(static_cast<float>(m.GetPosY()));
        // The test uses the position at the start of the frame, before this frame's move.
        bool outside = CheckBoundaries(m) != 0;
        // Only the timed programs steer strays home; the others let them walk on, turning
        // or not as the program says.
        if (outside && SETTINGS.Timed) {
            HeadToCentre(m);
        } else if (!outside || SETTINGS.TurnAnywhere) {
            Amble(m);
        }
        SetNewPosition(m);
    }
}
