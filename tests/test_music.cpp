// The music player: URL handling, load failures, the tick-based clock across
// play, seek and stop, volume, the end-of-track message and track replacement.
#include <SDL/SDL.h>
#include <SDL/SDL_mixer.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/SDLAudioPlayer.h"
#include "support/SystemMessages.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;
using testsupport::PumpUserEvents;
using testsupport::RecordingApp;
using testsupport::TempDir;
using testsupport::UserEvent;

namespace {

void Put16(std::string& b, unsigned v) {
    b.push_back(char(v & 0xFF));
    b.push_back(char((v >> 8) & 0xFF));
}
void Put32(std::string& b, unsigned v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A mono 16-bit 22.05 kHz WAV holding a quiet 440 Hz tone.
std::string ToneWav(double seconds) {
    const unsigned rate = 22050;
    const unsigned samples = unsigned(seconds * rate);
    std::string b = "RIFF";
    Put32(b, 36 + samples * 2);
    b += "WAVEfmt ";
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, 1);
    Put32(b, rate);
    Put32(b, rate * 2);
    Put16(b, 2);
    Put16(b, 16);
    b += "data";
    Put32(b, samples * 2);
    for (unsigned i = 0; i < samples; ++i)
        Put16(b, unsigned(int(3000 * sin(2 * M_PI * 440 * i / rate))) & 0xFFFF);
    return b;
}

std::string FindOggenc() {
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "/usr/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/oggenc";
        if (testsupport::FileExists(candidate)) return candidate;
        start = end + 1;
    }
    return std::string();
}

// Ogg Vorbis, because SDL_mixer can seek in it (it cannot in WAV).
bool MakeOgg(const std::string& path, double seconds, std::string* why) {
    std::string oggenc = FindOggenc();
    if (oggenc.empty()) {
        *why = "oggenc (vorbis-tools) is not installed";
        return false;
    }
    std::string wav = path + ".wav";
    if (!testsupport::WriteFile(wav, ToneWav(seconds))) {
        *why = "cannot write " + wav;
        return false;
    }
    testsupport::CommandResult r = testsupport::Run({oggenc, "-Q", "-o", path, wav});
    if (r.exitCode != 0 || !testsupport::FileExists(path)) {
        *why = "oggenc failed: " + r.err;
        return false;
    }
    return true;
}

class MusicTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(testsupport::InitSdlForTests(&error)) << error;
        tracks = new TempDir();
        std::string why;
        ASSERT_TRUE(MakeOgg(LongTrack(), 8.0, &why)) << why;
        ASSERT_TRUE(MakeOgg(ShortTrack(), 0.3, &why)) << why;
    }
    static void TearDownTestSuite() {
        delete tracks;
        tracks = nullptr;
        SDL_Quit();
    }
    void SetUp() override {
        ASSERT_NE(tracks, nullptr);
        testsupport::DiscardUserEvents();
    }

    static std::string LongTrack() { return tracks->File("long.ogg"); }
    static std::string ShortTrack() { return tracks->File("short.ogg"); }

    // LoadStream with standard error captured into `err`.
    bool Load(SDLAudioPlayer& player, const std::string& url, std::string* err) {
        CaptureFd capture(2);
        bool ok = player.LoadStream(url.c_str());
        *err = capture.Stop();
        return ok;
    }

    static TempDir* tracks;
    TempDir dir;
    RecordingApp app;
};

TempDir* MusicTest::tracks = nullptr;

int CountCode(const std::vector<UserEvent>& events, int code) {
    int n = 0;
    for (const UserEvent& e : events)
        if (e.code == code) ++n;
    return n;
}

typedef MusicTest MusicLoad;
typedef MusicTest MusicClock;
typedef MusicTest MusicVolume;
typedef MusicTest MusicEnd;

TEST_F(MusicLoad, ResourceUrlIsRefusedSilently) {
    SDLAudioPlayer player(&app);
    CaptureFd out(1), err(2);
    bool ok = player.LoadStream("resource://x.ogg");
    std::string printedErr = err.Stop(), printedOut = out.Stop();
    EXPECT_FALSE(ok);
    EXPECT_EQ(printedOut, "");
    EXPECT_EQ(printedErr, "");
    EXPECT_EQ(player.music, nullptr);
    EXPECT_FALSE(player.audioOpen);
    EXPECT_TRUE(PumpUserEvents(0).empty());
}

TEST_F(MusicLoad, EscapedFileUrlOpensFileWithSpace) {
    ASSERT_TRUE(testsupport::WriteFile(dir.File("my song.ogg"), testsupport::ReadFile(LongTrack())));
    SDLAudioPlayer player(&app);
    std::string err;
    EXPECT_TRUE(Load(player, "file://" + dir.File("my%20song.ogg"), &err));
    EXPECT_EQ(err, "");
    EXPECT_NE(player.music, nullptr);
    EXPECT_TRUE(player.audioOpen);
    EXPECT_EQ(player.GetVolume(), MIX_MAX_VOLUME);

    std::vector<UserEvent> events = PumpUserEvents(0);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, App::SystemMusicLoaded);
    EXPECT_EQ(events[0].data1, static_cast<SystemObject*>(&player));
    EXPECT_EQ(events[0].data2, static_cast<App*>(&app));
    ASSERT_EQ(app.messages.size(), 1u);
    EXPECT_EQ(app.messages[0].object, &player);
}

TEST_F(MusicLoad, UndecodableFileIsReported) {
    std::string path = dir.File("noise.ogg");
    ASSERT_TRUE(testsupport::WriteFile(path, std::string(4000, 'x')));
    SDLAudioPlayer player(&app);
    std::string err;
    // A file URL is accepted whatever happens to the track.
    EXPECT_TRUE(Load(player, "file://" + path, &err));
    EXPECT_EQ(err, "Couldn't load " + path + ": Not an Ogg Vorbis audio stream\n");
    EXPECT_EQ(player.music, nullptr);
    EXPECT_TRUE(PumpUserEvents(0).empty());
    // Nothing to play: the clock stays at 0.
    player.Play();
    player.Play(2000);
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    EXPECT_EQ(player.GetTime(), 0.0f);
}

// Without a known extension the last decoder tried gives the reason.
TEST_F(MusicLoad, UnknownFormatIsReported) {
    std::string path = dir.File("noise.bin");
    ASSERT_TRUE(testsupport::WriteFile(path, std::string(4000, 'x')));
    SDLAudioPlayer player(&app);
    std::string err;
    EXPECT_TRUE(Load(player, "file://" + path, &err));
    EXPECT_EQ(err, "Couldn't load " + path + ": Module format not recognized\n");
    EXPECT_EQ(player.music, nullptr);
}

TEST_F(MusicLoad, InitReturnsTwoForMissingFile) {
    std::string path = dir.File("absent.ogg");
    SDLAudioPlayer player(&app);
    CaptureFd capture(2);
    int result = player.Init(path.c_str());
    std::string err = capture.Stop();
    EXPECT_EQ(result, 2);
    EXPECT_EQ(err, "Couldn't load " + path + ": Couldn't open '" + path + "'\n");
    EXPECT_TRUE(PumpUserEvents(0).empty());
}

TEST_F(MusicLoad, SecondTrackReplacesTheFirst) {
    SDLAudioPlayer player(&app);
    std::string err;
    ASSERT_TRUE(Load(player, "file://" + LongTrack(), &err));
    player.Play();
    ASSERT_NE(Mix_PlayingMusic(), 0);

    ASSERT_TRUE(Load(player, "file://" + ShortTrack(), &err));
    EXPECT_EQ(err, "");
    // The first track was halted and the device opened only once.
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    int frequency, channels;
    Uint16 format;
    EXPECT_EQ(Mix_QuerySpec(&frequency, &format, &channels), 1);

    Uint32 started = SDL_GetTicks();
    player.Play();
    PumpUserEvents(4000, [&] { return app.Count(App::SystemMusicFinished) > 0; });
    Uint32 took = SDL_GetTicks() - started;
    PumpUserEvents(200);
    EXPECT_EQ(app.Count(App::SystemMusicLoaded), 2);
    EXPECT_EQ(app.Count(App::SystemMusicFinished), 1);
    // The 8-second track would still be playing.
    EXPECT_LT(took, 3000u);
}

TEST_F(MusicClock, FrozenAtZeroAfterLoading) {
    SDLAudioPlayer player(&app);
    std::string err;
    ASSERT_TRUE(Load(player, "file://" + LongTrack(), &err));
    EXPECT_EQ(player.GetTime(), 0.0f);
    SDL_Delay(30);
    EXPECT_EQ(player.GetTime(), 0.0f);
}

TEST_F(MusicClock, PlayFromOffsetRunsFromThatOffset) {
    SDLAudioPlayer player(&app);
    std::string err;
    ASSERT_TRUE(Load(player, "file://" + LongTrack(), &err));
    CaptureFd out(1);
    Uint32 before = SDL_GetTicks();
    player.Play(5000);
    Uint32 afterPlay = SDL_GetTicks();
    SDL_Delay(100);
    Uint32 beforeRead = SDL_GetTicks();
    float t = player.GetTime();
    Uint32 afterRead = SDL_GetTicks();
    EXPECT_EQ(out.Stop(), "");  // the seek succeeded
    ASSERT_NE(Mix_PlayingMusic(), 0);
    EXPECT_GE(t, 5000.0f + float(beforeRead - afterPlay));
    EXPECT_LE(t, 5000.0f + float(afterRead - before));
}

TEST_F(MusicClock, PlayStartsAtZero) {
    SDLAudioPlayer player(&app);
    std::string err;
    ASSERT_TRUE(Load(player, "file://" + LongTrack(), &err));
    Uint32 before = SDL_GetTicks();
    player.Play();
    Uint32 afterPlay = SDL_GetTicks();
    SDL_Delay(60);
    Uint32 beforeRead = SDL_GetTicks();
    float t = player.GetTime();
    Uint32 afterRead = SDL_GetTicks();
    EXPECT_GE(t, float(beforeRead - afterPlay));
    EXPECT_LE(t, float(afterRead - before));
}

TEST_F(MusicClock, StopFreezesAtTheLastOffset) {
    SDLAudioPlayer player(&app);
    std::string err;
    ASSERT_TRUE(Load(player, "file://" + LongTrack(), &err));
    Uint32 before = SDL_GetTicks();
    player.Play(3000);
    Uint32 afterPlay = SDL_GetTicks();
    SDL_Delay(120);
    player.Stop();
    float stopped = player.GetTime();
    SDL_Delay(50);
    EXPECT_EQ(player.GetTime(), stopped);
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    // The offset given to Play, less the few ticks spent starting playback,
    // not the 3120 ms reached when stopping.
    EXPECT_LE(stopped, 3000.0f);
    EXPECT_GE(stopped, 3000.0f - float(afterPlay - before));

    // Resuming from an offset restarts the clock there.
    before = SDL_GetTicks();
    player.Play(1000);
    afterPlay = SDL_GetTicks();
    SDL_Delay(20);
    Uint32 beforeRead = SDL_GetTicks();
    float resumed = player.GetTime();
    Uint32 afterRead = SDL_GetTicks();
    EXPECT_GE(resumed, 1000.0f + float(beforeRead - afterPlay));
    EXPECT_LE(resumed, 1000.0f + float(afterRead - before));
}

TEST_F(MusicClock, SeekWhilePlayingMovesClockSilently) {
    SDLAudioPlayer player(&app);
    std::string err;
    ASSERT_TRUE(Load(player, "file://" + LongTrack(), &err));
    player.Play();
    SDL_Delay(50);
    CaptureFd out(1);
    Uint32 before = SDL_GetTicks();
    player.SetTime(6000);
    Uint32 afterSeek = SDL_GetTicks();
    SDL_Delay(40);
    Uint32 beforeRead = SDL_GetTicks();
    float t = player.GetTime();
    Uint32 afterRead = SDL_GetTicks();
    EXPECT_EQ(out.Stop(), "");
    EXPECT_GE(t, 6000.0f + float(beforeRead - afterSeek));
    EXPECT_LE(t, 6000.0f + float(afterRead - before));
}

TEST_F(MusicClock, SeekWhileHaltedIsReportedAndMovesClockAnyway) {
    SDLAudioPlayer player(&app);
    std::string err;
    Uint32 before = SDL_GetTicks();
    ASSERT_TRUE(Load(player, "file://" + LongTrack(), &err));
    CaptureFd out(1);
    player.SetTime(2000);
    Uint32 afterSeek = SDL_GetTicks();
    EXPECT_EQ(out.Stop(), "Mix_SetMusicPosition: Music isn't playing\n");
    float t = player.GetTime();
    EXPECT_LE(t, 2000.0f);
    EXPECT_GE(t, 2000.0f - float(afterSeek - before));
}

TEST_F(MusicClock, WithoutTrackNothingPlays) {
    SDLAudioPlayer player(&app);
    player.Play(4000);
    player.Play();
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    EXPECT_EQ(player.GetTime(), 0.0f);
}

TEST_F(MusicVolume, SetThenGet) {
    SDLAudioPlayer player(&app);
    std::string err;
    ASSERT_TRUE(Load(player, "file://" + LongTrack(), &err));
    EXPECT_EQ(player.GetVolume(), 128);
    player.SetVolume(64);
    EXPECT_EQ(player.GetVolume(), 64);
    EXPECT_EQ(Mix_VolumeMusic(-1), 64);
}

TEST_F(MusicEnd, EndOfTrackPostsOneFinishedMessage) {
    SDLAudioPlayer player(&app);
    std::string err;
    ASSERT_TRUE(Load(player, "file://" + ShortTrack(), &err));
    player.Play();
    std::vector<UserEvent> events =
        PumpUserEvents(4000, [&] { return app.Count(App::SystemMusicFinished) > 0; });
    std::vector<UserEvent> later = PumpUserEvents(300);
    events.insert(events.end(), later.begin(), later.end());

    ASSERT_EQ(CountCode(events, App::SystemMusicFinished), 1);
    for (const UserEvent& e : events) {
        EXPECT_EQ(e.data1, static_cast<SystemObject*>(&player));
        EXPECT_EQ(e.data2, static_cast<App*>(&app));
    }
    ASSERT_EQ(app.messages.size(), 2u);
    EXPECT_EQ(app.messages[0].code, App::SystemMusicLoaded);
    EXPECT_EQ(app.messages[1].code, App::SystemMusicFinished);
    EXPECT_EQ(app.messages[1].object, &player);
    // Playback ended: the clock is frozen at the start of the last Play().
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    EXPECT_EQ(player.GetTime(), 0.0f);
}

TEST_F(MusicEnd, StopPostsNoFinishedMessage) {
    SDLAudioPlayer player(&app);
    std::string err;
    ASSERT_TRUE(Load(player, "file://" + ShortTrack(), &err));
    player.Play();
    SDL_Delay(50);
    player.Stop();
    PumpUserEvents(600);
    EXPECT_EQ(app.Count(App::SystemMusicFinished), 0);
}

TEST_F(MusicEnd, DestroyedPlayerReleasesTheHook) {
    {
        SDLAudioPlayer player(&app);
        std::string err;
        ASSERT_TRUE(Load(player, "file://" + ShortTrack(), &err));
        EXPECT_EQ(SDLAudioPlayer::player_this, &player);
        player.Play();
    }
    EXPECT_EQ(SDLAudioPlayer::player_this, nullptr);
    PumpUserEvents(600);
    EXPECT_EQ(app.Count(App::SystemMusicFinished), 0);
}

// Device failures need a process whose audio state is untouched, hence
// re-executed death-test children.
TEST(MusicInitFailure, MissingDriverReturns2) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // SDL starts its audio subsystem even without a driver; opening fails.
            setenv("SDL_AUDIODRIVER", "vomra-no-such-driver", 1);
            SDLAudioPlayer player(nullptr);
            int result = player.Init("/nonexistent.ogg");
            _exit(player.audioOpen || player.music ? 102 : result);
        },
        ::testing::ExitedWithCode(2), "^Couldn't open audio: No available audio device\n$");
}

TEST(MusicInitFailure, BusyDeviceReturns2) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            if (SDL_Init(SDL_INIT_AUDIO) < 0) _exit(100);
            SDL_AudioSpec want;
            memset(&want, 0, sizeof want);
            want.freq = 22050;
            want.format = AUDIO_S16SYS;
            want.channels = 1;
            want.samples = 1024;
            want.callback = [](void*, Uint8* stream, int len) { memset(stream, 0, size_t(len)); };
            if (SDL_OpenAudio(&want, nullptr) < 0) _exit(101);
            SDLAudioPlayer player(nullptr);
            int result = player.Init("/nonexistent.ogg");
            _exit(player.audioOpen ? 102 : result);
        },
        ::testing::ExitedWithCode(2), "^Couldn't open audio: Audio device is already opened\n$");
}

}  // namespace
