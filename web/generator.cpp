// SPDX-License-Identifier: MIT
// The GNU C library's default generator (its "TYPE_3"): 31 words seeded by a Lehmer
// generator, then r[i] = r[i-31] + r[i-3] modulo 2^32, each output the new word's top 31
// bits, and the first 310 outputs thrown away.
#include "generator.h"

namespace {
const int LAG = 31;
const int SHORT_LAG = 3;
const int SIZE = 34;
const int DISCARDED = 10 * LAG;
} // namespace

std::uint32_t generator::Advance() {
    std::uint32_t word = Words[(Next - LAG) % SIZE] + Words[(Next - SHORT_LAG) % SIZE];
    Words[Next % SIZE] = word;
    Next++;
    return word;
}

void generator::Seed(unsigned int seed) {
    // The Lehmer step 16807 r mod (2^31 - 1), by Schrage's method in signed 32-bit words, as
    // the C library computes it: a seed above 2^31 - 1 is a negative word there.
    std::int32_t word = seed == 0 ? 1 : static_cast<std::int32_t>(seed);
    Words[0] = static_cast<std::uint32_t>(word);
    for (int i = 1; i < LAG; i++) {
        std::int32_t hi = word / 127773;
        std::int32_t lo = word % 127773;
        word = 16807 * lo - 2836 * hi;
        if (word < 0) {
            word += 2147483647;
        }
        Words[i] = static_cast<std::uint32_t>(word);
    }
    for (int i = LAG; i < SIZE; i++) {
        Words[i] = Words[i - LAG];
    }
    Next = SIZE;
    for (int i = 0; i < DISCARDED; i++) {
        Advance();
    }
}

int generator::Draw() {
    return static_cast<int>(Advance() >> 1);
}
