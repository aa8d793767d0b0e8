// SPDX-License-Identifier: MIT
// What every unit test needs: a fresh fake platform and class-wide state, and a way to
// read what the code under test wrote to standard output.
#ifndef TEST_SUPPORT_H_
#define TEST_SUPPORT_H_

#include "mobling.h"
#include "platform_fake.h"
#include "setup.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

// Collects std::cout for as long as it lives.
class CoutCapture {
  public:
    CoutCapture() : Saved(std::cout.rdbuf(Text.rdbuf())) {}
    ~CoutCapture() { std::cout.rdbuf(Saved); }
    std::string Str() const { return Text.str(); }

  private:
    std::ostringstream Text;
    std::streambuf* Saved;
};

class PlatformTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::Reset();
        setup::active = 0;
        setup::current_time = 0;
        setup::last_time = 0;
        mobling::count = 0;
    }
};

// The uniform number a draw of r stands for.
inline double Unit(int r) {
    return r / 2147483648.0;
}

#endif
