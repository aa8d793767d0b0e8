// SPDX-License-Identifier: MIT
// SDL start-up and its failure paths, the event pump and the frame clock, against the
// fake platform.
#include "test_support.h"

using fake::Call;

using SetupTest = PlatformTest;

TEST_F(SetupTest, StartUpAsksForTheWindowInAFixedOrder) {
    fake::BitsPerPixel = 24;
    CoutCapture out;
    setup s;
    EXPECT_EQ(s.SDL_Setup(), 0);
    EXPECT_EQ(setup::active, 1);
    EXPECT_EQ(out.Str(), "");
    std::vector<Call> expected = {
        {"SDL_Init", {SDL_INIT_VIDEO}},
        {"SDL_GetVideoInfo", {}},
        {"SDL_GL_SetAttribute", {SDL_GL_RED_SIZE, 5}},
        {"SDL_GL_SetAttribute", {SDL_GL_GREEN_SIZE, 5}},
        {"SDL_GL_SetAttribute", {SDL_GL_BLUE_SIZE, 5}},
        {"SDL_GL_SetAttribute", {SDL_GL_DEPTH_SIZE, 16}},
        {"SDL_GL_SetAttribute", {SDL_GL_DOUBLEBUFFER, 1}},
        {"SDL_SetVideoMode", {800, 600, 24, SDL_OPENGL}},
    };
    EXPECT_EQ(fake::Calls, expected);
}

TEST_F(SetupTest, AFailedInitTriesNothingElseAndStillQuitsOnce) {
    fake::InitResult = -1;
    CoutCapture out;
    {
        setup s;
        EXPECT_EQ(s.SDL_Setup(), 1);
        EXPECT_EQ(setup::active, 0);
        EXPECT_EQ(fake::Calls, (std::vector<Call>{{"SDL_Init", {SDL_INIT_VIDEO}}}));
    }
    EXPECT_EQ(out.Str(), "error init-ing sdl video\n");
    EXPECT_EQ(fake::CallsOf("SDL_Quit").size(), 1u);
    EXPECT_EQ(fake::Calls.size(), 2u);
}

TEST_F(SetupTest, AFailedVideoModeLeavesTheLoopOff) {
    fake::VideoModeFails = true;
    CoutCapture out;
    {
        setup s;
        EXPECT_EQ(s.SDL_Setup(), 1);
    }
    EXPECT_EQ(setup::active, 0);
    EXPECT_EQ(out.Str(), "error setting video mode\n");
    EXPECT_EQ(fake::CallsOf("SDL_SetVideoMode").size(), 1u);
    EXPECT_EQ(fake::CallsOf("SDL_Quit").size(), 1u);
}

TEST_F(SetupTest, TheDestructorQuitsSDLEvenWithoutStartUp) {
    { setup s; }
    EXPECT_EQ(fake::Calls, (std::vector<Call>{{"SDL_Quit", {}}}));
}

TEST_F(SetupTest, OneCallDrainsEveryPendingEventAndAQuitStopsTheLoop) {
    setup::active = 1;
    fake::Events = {fake::KeyEvent(SDLK_a), fake::QuitEvent(), fake::KeyEvent(SDLK_ESCAPE),
                    fake::QuitEvent()};
    setup s;
    s.event();
    EXPECT_EQ(setup::active, 0);
    EXPECT_TRUE(fake::Events.empty());
    EXPECT_EQ(fake::CallsOf("SDL_PollEvent").size(), 5u);
}

TEST_F(SetupTest, KeysEscapeIncludedAreDrainedAndIgnored) {
    setup::active = 1;
    SDL_Event motion = {};
    motion.type = SDL_MOUSEMOTION;
    fake::Events = {fake::KeyEvent(SDLK_ESCAPE), fake::KeyEvent(SDLK_q), motion};
    setup s;
    s.event();
    EXPECT_EQ(setup::active, 1);
    EXPECT_TRUE(fake::Events.empty());

    s.event(); // nothing pending: one poll, no change
    EXPECT_EQ(setup::active, 1);
    EXPECT_EQ(fake::CallsOf("SDL_PollEvent").size(), 5u);
}

TEST_F(SetupTest, TheClockMeasuresFromTheSecondReading) {
    const unsigned int t = 5000;
    fake::Ticks = {t, t + 16, t + 17, t + 40, t + 41};
    setup s;
    s.SetLastTime();
    EXPECT_EQ(setup::last_time, t);
    EXPECT_EQ(setup::current_time, 0u);
    s.UpdateTime();
    EXPECT_EQ(setup::current_time, 16u);
    EXPECT_EQ(setup::last_time, t + 17);
    s.UpdateTime();
    EXPECT_EQ(setup::current_time, 23u); // the millisecond between readings counts nowhere
    EXPECT_EQ(setup::last_time, t + 41);
}

TEST_F(SetupTest, TheClockCarriesAcrossTheWrapOfTheTickCounter) {
    setup::last_time = 4294967290u; // 2^32 - 6
    fake::Ticks = {10, 11};
    setup s;
    s.UpdateTime();
    EXPECT_EQ(setup::current_time, 16u);
    EXPECT_EQ(setup::last_time, 11u);
}
