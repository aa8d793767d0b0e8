// SPDX-License-Identifier: MIT
// The programs whose field is centred on the origin: the start area and the projection.
#include "moblery.h"
#include "renderer.h"
#include "test_support.h"

#include <GL/gl.h>

using CentredTest = PlatformTest;

TEST_F(CentredTest, OneWorldUnitIsOnePixelWithTheOriginInTheMiddle) {
    renderer rend;
    rend.GL_Setup();
    EXPECT_EQ(fake::CallsOf("glOrtho"),
              (std::vector<fake::Call>{{"glOrtho", {-400, 400, -300, 300, -10, 10}}}));
}
