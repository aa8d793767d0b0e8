// SPDX-License-Identifier: MIT
// The web platform's rand() draws the very numbers this machine's C library draws, seed
// for seed: that is what makes a run in a page the run of the same seed in a window.
#include "generator.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(Generator, DrawsWhatTheCLibraryDraws) {
    // 0 is taken as 1; seeds from 2^31 on are negative words to the Lehmer step; the
    // others are start seconds of runs, as time(0) gives them.
    for (unsigned int seed :
         {0U, 1U, 2U, 42U, 1767225600U, 1767225602U, 2147483647U, 2147483648U, 4294967295U}) {
        generator mine;
        mine.Seed(seed);
        std::srand(seed);
        for (int k = 0; k < 5000; k++) {
            ASSERT_EQ(mine.Draw(), std::rand()) << "seed " << seed << ", draw " << k;
        }
    }
}

TEST(Generator, UnseededAsSeededWithOne) {
    generator unseeded, one;
    one.Seed(1);
    for (int k = 0; k < 100; k++) {
        ASSERT_EQ(unseeded.Draw(), one.Draw()) << "draw " << k;
    }
}

TEST(Generator, SeedingAgainStartsOver) {
    generator g;
    g.Seed(1767225602U);
    int first = g.Draw();
    g.Draw();
    g.Seed(1767225602U);
    EXPECT_EQ(g.Draw(), first);
}

} // namespace
