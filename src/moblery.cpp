// SPDX-License-Identifier: MIT
// The creature factory. Placement draws come from the one random sequence in a fixed
// order, so a seed reproduces a population exactly.
#include "moblery.h"
#include "setup.h"

#include <cmath>

void moblery::SetRandomStartPos(mobling& m) {
    // A centred field reaches from -WIDTH/2 to WIDTH/2; the sum is formed in double and
    // rounded (or, for whole-number positions, truncated) only when stored.
    double fromX = SETTINGS.Centred ? -CENTREX : 0;
    double fromY = SETTINGS.Centred ? -CENTREY : 0;
    m.SetPosX(static_cast<Position>(RandomUnit() * WIDTH + fromX));
    m.SetPosY(static_cast<Position>(RandomUnit() * HEIGHT + fromY));
}

void moblery::SetRandomStartRot(mobling& m) {
    m.SetRot(static_cast<float>(RandomUnit() * (SETTINGS.StartRotMax - SETTINGS.StartRotMin) +
                                SETTINGS.StartRotMin));
}

void moblery::SetRandomStartHeading(mobling& m) {
    // Timed programs count rotations in degrees; the others hand them to cos and sin as
    // they are, as radians.
    double angle = m.GetRot() * (SETTINGS.Timed ? DEGTORAD : 1.0);
    m.SetHeadingX(static_cast<float>(std::cos(angle)));
    m.SetHeadingY(static_cast<float>(std::sin(angle)));
}

void moblery::SpawnMobling() {
    mobling spawned;
    if (SETTINGS.RotFirst) {
        SetRandomStartRot(spawned);
    }
    Moblings.push_back(spawned);
}

void moblery::Populate(int Pop) {
    if (Pop > 0) {
        // One allocation up front instead of a dozen regrowths for a large population.
        Moblings.reserve(Moblings.size() + static_cast<std::size_t>(Pop));
    }
    for (int i = 0; i < Pop; i++) {
        SpawnMobling();
        // The creature just spawned is the last one; looked up after the append, which may
        // have moved the storage.
        mobling& m = Moblings.back();
        SetRandomStartPos(m);
        if (!SETTINGS.RotFirst) {
            SetRandomStartRot(m);
        }
        SetRandomStartHeading(m);
    }
}

void moblery::KillMobling() {}

int moblery::GetPopulation() {
    return static_cast<int>(Moblings.size());
}
