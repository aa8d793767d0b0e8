// SPDX-License-Identifier: MIT
// The rules by which every creature moves once per frame.
#ifndef MOVEMENT_H_
#define MOVEMENT_H_

#include "mobling.h"

#include <vector>

class movement {
  public:
    movement() = default;
    ~movement() = default;

    // 0 when the creature is strictly inside the field, 1 otherwise.
    int CheckBoundaries(mobling& m);
    // A new random rotation: one draw.
    void SetRandomRot(mobling& m);
    // The heading along the rotation, mirrored near a wall where the program asks for it.
    void SetHeading(mobling& m);
    // Perhaps turn: one draw for the decision, one more on a turn.
    void Amble(mobling& m);
    // Points the heading at the field's centre; draws nothing.
    void HeadToCentre(mobling& m);
    // Advances the creature along its heading by one frame.
    void SetNewPosition(mobling& m);
    // One frame step for every creature, in index order.
    void UpdateMoves(std::vector<mobling>& Moblings);
};

#endif
