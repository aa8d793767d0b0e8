// SPDX-License-Identifier: MIT
// Linked into a copy of the reference program to give the memcheck check a leak of our own
// to find. The block is made before main and its only pointer is overwritten at once, so
// its stack holds nothing but this file and the C library's start-up: no suppression of a
// library may hide it. The stores are volatile so that the compiler cannot drop the
// allocation.
#include <cstddef>

namespace {

constexpr std::size_t PLANTED_INTS = 1234;

int* volatile Planted = nullptr;

const bool Dropped = [] {
    Planted = new int[PLANTED_INTS];
    Planted = nullptr;
    return true;
}();

} // namespace
