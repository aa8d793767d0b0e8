// SPDX-License-Identifier: MIT
// Once the population exists, a frame allocates nothing: the movement and drawing phases
// work in place. Every allocation of the test binary is counted here.
#include "moblery.h"
#include "movement.h"
#include "renderer.h"
#include "test_support.h"

#include <cstdlib>
#include <new>

namespace {
long Allocations = 0;
} // namespace

void* operator new(std::size_t size) {
    Allocations++;
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}

// GCC takes the free() below for a mismatch with the operator new it replaces; in this pair
// both sides are malloc and free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

using AllocationTest = PlatformTest;

TEST_F(AllocationTest, AThousandFramesAllocateNothing) {
    std::srand(3);
    moblery factory;
    factory.Populate(1000);
    movement move;
    renderer rend;
    setup::current_time = 16;
    fake::Recording = false; // the fake's own log would allocate
    // One frame first, so that whatever the C library sets up on first use is done.
    move.UpdateMoves(factory.Moblings);
    rend.Draw_All(factory.Moblings);

    long before = Allocations;
    for (int frame = 0; frame < 1000; frame++) {
        if (SETTINGS.Moves) {
            move.UpdateMoves(factory.Moblings);
        }
        rend.Draw_All(factory.Moblings);
    }
    EXPECT_EQ(Allocations - before, 0);
    EXPECT_EQ(factory.GetPopulation(), 1000);
}

TEST_F(AllocationTest, TheCounterSeesAllocations) {
    long before = Allocations;
    std::vector<mobling>* grown = new std::vector<mobling>(3);
    delete grown;
    EXPECT_EQ(Allocations - before, 2);
}
