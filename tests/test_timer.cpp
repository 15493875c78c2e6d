// One-shot SDL timers: expiry reaches the application once, through the
// event queue, and Stop and destruction keep it from arriving.
#include <SDL/SDL.h>
#include <gtest/gtest.h>

#include "app/SDLTimer.h"
#include "support/SystemMessages.h"

using testsupport::PumpUserEvents;
using testsupport::RecordingApp;
using testsupport::UserEvent;

namespace {

class TimerExpiry : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(testsupport::InitSdlForTests(&error)) << error;
    }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override { testsupport::DiscardUserEvents(); }
};

TEST_F(TimerExpiry, PostsOneMessageCarryingTimerAndApp) {
    RecordingApp app;
    SDLTimer timer(&app);
    Uint32 armed = SDL_GetTicks();
    timer.SetAfter(30);
    ASSERT_NE(timer.id, nullptr);
    std::vector<UserEvent> events = PumpUserEvents(1000, [&] { return !app.messages.empty(); });
    Uint32 fired = SDL_GetTicks();
    // Long enough afterwards for a periodic timer to have fired several times more.
    std::vector<UserEvent> later = PumpUserEvents(200);

    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, App::SystemTimerExpired);
    EXPECT_EQ(events[0].data1, static_cast<SystemObject*>(&timer));
    EXPECT_EQ(events[0].data2, static_cast<App*>(&app));
    // SDL checks its timers in 10 ms slices and may fire one slice early.
    EXPECT_GE(fired - armed, 20u);
    EXPECT_TRUE(later.empty());
    ASSERT_EQ(app.messages.size(), 1u);
    EXPECT_EQ(app.messages[0].code, App::SystemTimerExpired);
    EXPECT_EQ(app.messages[0].object, &timer);
}

TEST_F(TimerExpiry, StopBeforeExpiryPostsNothing) {
    RecordingApp app;
    SDLTimer timer(&app);
    timer.SetAfter(60);
    timer.Stop();
    EXPECT_TRUE(PumpUserEvents(250).empty());
    EXPECT_TRUE(app.messages.empty());
}

TEST_F(TimerExpiry, CanBeArmedAgainAfterExpiry) {
    RecordingApp app;
    SDLTimer timer(&app);
    timer.SetAfter(20);
    PumpUserEvents(1000, [&] { return app.messages.size() == 1; });
    ASSERT_EQ(app.Count(App::SystemTimerExpired), 1);
    timer.SetAfter(20);
    PumpUserEvents(1000, [&] { return app.messages.size() == 2; });
    PumpUserEvents(150);
    EXPECT_EQ(app.Count(App::SystemTimerExpired), 2);
    EXPECT_EQ(app.messages.size(), 2u);
}

// The first of two SetAfter calls keeps running and still fires just once;
// Stop only reaches the last one.
TEST_F(TimerExpiry, TwoArmingsEachFireOnce) {
    RecordingApp app;
    SDLTimer timer(&app);
    timer.SetAfter(30);
    timer.SetAfter(60);
    PumpUserEvents(1000, [&] { return app.messages.size() >= 2; });
    PumpUserEvents(200);
    EXPECT_EQ(app.Count(App::SystemTimerExpired), 2);
    EXPECT_EQ(app.messages.size(), 2u);
}

TEST_F(TimerExpiry, StopAfterTwoArmingsCancelsOnlyTheLast) {
    RecordingApp app;
    SDLTimer timer(&app);
    timer.SetAfter(30);
    timer.SetAfter(120);
    timer.Stop();
    PumpUserEvents(400);
    EXPECT_EQ(app.Count(App::SystemTimerExpired), 1);
    EXPECT_EQ(app.messages.size(), 1u);
}

TEST_F(TimerExpiry, DeletingAnArmedTimerPostsNothing) {
    RecordingApp app;
    SDLTimer* timer = new SDLTimer(&app);
    timer->SetAfter(40);
    delete timer;
    EXPECT_TRUE(PumpUserEvents(200).empty());
    EXPECT_TRUE(app.messages.empty());
}

TEST_F(TimerExpiry, TimersOfTwoAppsReachTheirOwnApp) {
    RecordingApp first, second;
    SDLTimer a(&first), b(&second);
    a.SetAfter(20);
    b.SetAfter(40);
    PumpUserEvents(1000, [&] { return first.messages.size() + second.messages.size() >= 2; });
    ASSERT_EQ(first.messages.size(), 1u);
    ASSERT_EQ(second.messages.size(), 1u);
    EXPECT_EQ(first.messages[0].object, &a);
    EXPECT_EQ(second.messages[0].object, &b);
}

TEST_F(TimerExpiry, NegativeDelayFiresOnce) {
    RecordingApp app;
    SDLTimer timer(&app);
    timer.SetAfter(-5.0f);
    PumpUserEvents(1000, [&] { return !app.messages.empty(); });
    PumpUserEvents(100);
    EXPECT_EQ(app.Count(App::SystemTimerExpired), 1);
    EXPECT_EQ(app.messages.size(), 1u);
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
