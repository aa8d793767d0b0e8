// SPDX-License-Identifier: MIT
// The creature factory: makes the population, places it at random and owns it.
#ifndef MOBLERY_H_
#define MOBLERY_H_

#include "mobling.h"

#include <vector>

class moblery {
  private:
    void SetRandomStartPos(mobling& m);
    void SetRandomStartRot(mobling& m);
    void SetRandomStartHeading(mobling& m);

  public:
    moblery() = default;
    ~moblery() = default;

    std::vector<mobling> Moblings; // the population, in spawn order

    // Appends one new creature at the origin, not yet placed.
    void SpawnMobling();
    // Spawns and places Pop creatures, three random draws each.
    void Populate(int Pop);
    // Creatures are never removed during a run.
    void KillMobling();
    int GetPopulation();
};

#endif
