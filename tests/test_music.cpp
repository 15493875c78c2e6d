// The music player on the dummy audio driver: URLs, load failures, the tick
// clock across play, seek and stop, end-of-track messages, replacement.
#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "app/SDLAudioPlayer.h"
#include "support/SystemMessages.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;
using testsupport::PumpUserEvents;
using testsupport::RecordingApp;

namespace {

using testsupport::MakeSilentOgg;

class Music : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(testsupport::InitSdlForTests()) << SDL_GetError(); }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override {
        testsupport::DiscardUserEvents();
        // A space in the name, so every load goes through %-decoding too.
        ASSERT_EQ(MakeSilentOgg(dir.File("long track.ogg"), 8.0), "");
        ASSERT_EQ(MakeSilentOgg(dir.File("short.ogg"), 0.3), "");
    }
    std::string Url(const std::string& name) const { return "file://" + dir.File(name); }
    // LoadStream of a file URL, which must succeed or fail as expected; what it
    // printed to stderr.
    std::string Load(const std::string& url, bool loads = true) {
        CaptureFd capture(2);
        EXPECT_EQ(player->LoadStream(url.c_str()), loads) << url;
        return capture.Stop();
    }
    testsupport::TempDir dir;
    RecordingApp app;
    std::unique_ptr<SDLAudioPlayer> player{new SDLAudioPlayer(&app)};
};

// Only file URLs are taken; an unloadable track is reported, refused (so the
// caller keeps its own clock) and nothing plays.
TEST_F(Music, RefusedAndUnloadableTracks) {
    CaptureFd out(1), err(2);
    EXPECT_FALSE(player->LoadStream("resource://x.ogg"));
    EXPECT_EQ(out.Stop() + err.Stop(), "");
    EXPECT_FALSE(player->audioOpen);
    const std::string noise = dir.File("noise.ogg"), absent = dir.File("absent.ogg");
    ASSERT_TRUE(testsupport::WriteFile(noise, std::string(4000, 'x')));
    const std::string fifo = dir.File("fifo.ogg");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> rows[] = {
        {noise, "Not an Ogg Vorbis audio stream"},
        {absent, "Couldn't open '" + absent + "'"},
        {fifo, "not a regular file"},  // would block in the decoder's open
        {dir.File(""), "not a regular file"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        EXPECT_EQ(Load("file://" + row.first, false),
                  "Couldn't load " + row.first + ": " + row.second + "\n");
        EXPECT_EQ(player->music, nullptr);
        player->Play(2000);
        EXPECT_EQ(Mix_PlayingMusic(), 0);
        EXPECT_EQ(player->GetTime(), 0.0f);
    }
    PumpUserEvents(0);
    EXPECT_TRUE(app.messages.empty());
}

// The clock runs from 0 after Play(), from the offset after Play(offset), also
// backwards; Stop freezes it at the start offset.
TEST_F(Music, Clock) {
    Uint32 before = SDL_GetTicks();
    ASSERT_EQ(Load(Url("long%20track.ogg")), "");
    CaptureFd seekOut(1);
    player->SetTime(2000);  // halted: reported, and the clock moves anyway
    Uint32 after = SDL_GetTicks();
    EXPECT_EQ(seekOut.Stop(), "Mix_SetMusicPosition: Music isn't playing\n");
    EXPECT_LE(player->GetTime(), 2000.0f);
    EXPECT_GE(player->GetTime(), 2000.0f - float(after - before));

    CaptureFd out(1);
    for (float offset : {-1.0f, 5000.0f, 1000.0f}) {  // -1: Play()
        SCOPED_TRACE(offset);
        const float from = offset < 0 ? 0.0f : offset;
        before = SDL_GetTicks();
        offset < 0 ? player->Play() : player->Play(offset);
        after = SDL_GetTicks();
        SDL_Delay(60);
        Uint32 beforeRead = SDL_GetTicks();
        float t = player->GetTime();
        Uint32 afterRead = SDL_GetTicks();
        ASSERT_NE(Mix_PlayingMusic(), 0);
        EXPECT_GE(t, from + float(beforeRead - after));
        EXPECT_LE(t, from + float(afterRead - before));
        player->Stop();
        float stopped = player->GetTime();
        SDL_Delay(30);
        EXPECT_EQ(player->GetTime(), stopped);
        // The start offset less the ticks spent starting, not where it stopped.
        EXPECT_LE(stopped, from);
        EXPECT_GE(stopped, from - float(after - before));
    }
    EXPECT_EQ(out.Stop(), "");  // the seeks while playing succeeded
}

// The second track halts the first on the device already open; its end is
// posted once, and the clock then goes on in wall time so a demo longer than
// its music still reaches its end.
TEST_F(Music, SecondTrackReplacesTheFirstAndEndsOnce) {
    ASSERT_EQ(Load(Url("long%20track.ogg")), "");
    player->Play();
    ASSERT_NE(Mix_PlayingMusic(), 0);
    ASSERT_EQ(Load(Url("short.ogg")), "");
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    EXPECT_EQ(Mix_QuerySpec(nullptr, nullptr, nullptr), 1);  // opened once

    Uint32 started = SDL_GetTicks();
    player->Play();
    PumpUserEvents(4000, [&] { return app.messages.size() == 3; });
    EXPECT_LT(SDL_GetTicks() - started, 3000u);  // the 8-second track would still play
    PumpUserEvents(300);
    const RecordingApp::Message loaded = {App::SystemMusicLoaded, player.get()};
    EXPECT_EQ(app.messages, (std::vector<RecordingApp::Message>{
                                loaded, loaded, {App::SystemMusicFinished, player.get()}}));
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    Uint32 before = SDL_GetTicks();
    float t = player->GetTime();
    Uint32 after = SDL_GetTicks();
    EXPECT_GE(t, float(before - started) - 5.0f);
    EXPECT_LE(t, float(after - started) + 5.0f);
    player->Stop();
    EXPECT_EQ(player->GetTime(), 0.0f);  // stopped: the offset of the last start
}

// Neither Stop nor destruction posts the end; the hook must not name a dead player.
TEST_F(Music, StopAndDestructionPostNoEnd) {
    ASSERT_EQ(Load(Url("short.ogg")), "");
    player->Play();
    SDL_Delay(50);
    player->Stop();
    player->Play();
    SystemObject* object = player.get();
    player.reset();
    EXPECT_EQ(SDLAudioPlayer::player_this, nullptr);
    PumpUserEvents(600);
    EXPECT_EQ(app.messages,
              (std::vector<RecordingApp::Message>{{App::SystemMusicLoaded, object}}));
}

// Needs a process whose audio state is untouched, hence a death-test child. SDL
// starts its audio subsystem even without a driver; opening the device fails.
TEST(MusicInitFailure, MissingDriverReturns2) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("SDL_AUDIODRIVER", "vomra-no-such-driver", 1);
            SDLAudioPlayer player(nullptr);
            if (player.LoadStream("file:///nonexistent.ogg")) _exit(50);
            _exit(player.Init("/nonexistent.ogg") + (player.audioOpen ? 100 : 0));
        },
        ::testing::ExitedWithCode(2),
        "^Couldn't open audio: No available audio device\nCouldn't open audio: ");
}

}  // namespace
