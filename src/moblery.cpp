// The creature factory. Placement draws come from the one random sequence in a fixed
// order, so a seed reproduces a population exactly.
#include "moblery.h"
#include "setup.h"

#include <cmath>

moblery::moblery() {}

moblery::~moblery() {}

void moblery::SetRandomStartPos(mobling& m) {
    // A centred field reaches from -WIDTH/2 to WIDTH/2; the sum is formed in double and
    // rounded (or, for whole-number positions, truncated) only when stored.
    double fromX = CENTRED ? -CENTREX : 0;
    double fromY = CENTRED ? -CENTREY : 0;
    m.SetPosX(static_cast<Position>(RandomUnit() * WIDTH + fromX));
    m.SetPosY(static_cast<Position>(RandomUnit() * HEIGHT + fromY));
}

void moblery::SetRandomStartRot(mobling& m) {
    m.SetRot(static_cast<float>(RandomUnit() * (START_ROT_MAX - START_ROT_MIN) + START_ROT_MIN));
}

void moblery::SetRandomStartHeading(mobling& m) {
    double angle = m.GetRot() * (ROT_IN_DEGREES ? DEGTORAD : 1.0);
    m.SetHeadingX(static_cast<float>(std::cos(angle)));
    m.SetHeadingY(static_cast<float>(std::sin(angle)));
}

void moblery::SpawnMobling() {
    mobling spawned;
    if (ROT_FIRST) {
        SetRandomStartRot(spawned);
    }
    Moblings.push_back(spawned);
}

void moblery::Populate(int Pop) {
    for (int i = 0; i < Pop; i++) {
        SpawnMobling();
        // The creature just spawned is the last one; looked up after the append, which may
        // have moved the storage.
        mobling& m = Moblings.back();
        SetRandomStartPos(m);
        if (!ROT_FIRST) {
            SetRandomStartRot(m);
        }
        SetRandomStartHeading(m);
    }
}

void moblery::KillMobling() {}

int moblery::GetPopulation() {
    return static_cast<int>(Moblings.size());
}
