// One-shot SDL timers: each arming reaches the application once through the
// event queue; Stop and destruction cancel the last arming only.
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/SDLTimer.h"
#include "support/SystemMessages.h"

using testsupport::PumpUserEvents;
using testsupport::RecordingApp;

namespace {

class TimerExpiry : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(testsupport::InitSdlForTests()) << SDL_GetError(); }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override { testsupport::DiscardUserEvents(); }
    RecordingApp app;
};

// A second SetAfter must not leave the first timer firing forever, nor a
// negative delay become a 0 ms timer, which SDL never cancels.
TEST_F(TimerExpiry, EachArmingPostsOneMessage) {
    const std::vector<float> rows[] = {{30}, {30, 60}, {-5}};
    for (const std::vector<float>& delays : rows) {
        SCOPED_TRACE(::testing::PrintToString(delays));
        app.messages.clear();
        SDLTimer timer(&app);
        Uint32 armed = SDL_GetTicks();
        for (float delay : delays) timer.SetAfter(delay);
        PumpUserEvents(1000, [&] { return app.messages.size() >= delays.size(); });
        // SDL checks its timers in 10 ms slices and may fire one slice early.
        EXPECT_GE(SDL_GetTicks() - armed + 10, Uint32(delays.back() > 0 ? delays.back() : 0));
        PumpUserEvents(200);  // room for a timer that re-arms to fire again
        EXPECT_EQ(app.messages, (std::vector<RecordingApp::Message>(
                                    delays.size(), {App::SystemTimerExpired, &timer})));
    }
}

TEST_F(TimerExpiry, StopAndDeletionCancelTheLastArmingOnly) {
    SDLTimer stopped(&app), rearmed(&app);
    SDLTimer* deleted = new SDLTimer(&app);
    stopped.SetAfter(60);
    stopped.Stop();
    rearmed.SetAfter(30);
    rearmed.SetAfter(120);
    rearmed.Stop();
    deleted->SetAfter(40);
    delete deleted;
    PumpUserEvents(400);
    EXPECT_EQ(app.messages,
              (std::vector<RecordingApp::Message>{{App::SystemTimerExpired, &rearmed}}));
}

// Needs a process in which SDL's timer subsystem was never started.
TEST(TimerFailure, WithoutTimerSubsystemReportsAndNeverFires) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SDLTimer timer(nullptr);
            timer.SetAfter(10);
            _exit(timer.id == nullptr ? 0 : 1);
        },
        ::testing::ExitedWithCode(0),
        "^Can't add timer: You must call SDL_Init\\(SDL_INIT_TIMER\\) first\n$");
}

}  // namespace
