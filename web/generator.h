// SPDX-License-Identifier: MIT
// The random sequence of the GNU C library's rand(), which the programs draw from on
// Linux, so that a seed draws the same numbers in a page as in a window. Emscripten's own
// C library draws another sequence.
#ifndef GENERATOR_H_
#define GENERATOR_H_

#include <cstdint>

class generator {
    // The last 34 words of the additive feedback sequence, by index modulo 34: each new
    // word needs the ones 3 and 31 places before it.
    std::uint32_t Words[34] = {};
    std::uint64_t Next = 0; // the index of the word to make next

    std::uint32_t Advance();

  public:
    generator() { Seed(1); } // what rand() draws before any srand, as in C
    // Starts the sequence that srand(seed) starts.
    void Seed(unsigned int seed);
    // The next number rand() returns: 0 to 2^31 - 1.
    int Draw();
};

#endif
