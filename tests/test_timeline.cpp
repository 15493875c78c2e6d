// The demo engine's timeline: part boundaries and local times under both clocks, start
// time, pause and seek, one-off renders, and DemoApp's mapping of keys and options.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "app/AudioPlayer.h"
#include "app/DemoApp.h"
#include "demo/Actor.h"
#include "demo/Animation.h"
#include "demo/Engine.h"
#include "demo/Image.h"
#include "demo/Part.h"
#include "demo/Pass.h"
#include "demo/Scene.h"
#include "demo/Target.h"
#include "script/LuaScriptEngine.h"
#include "support/DemoPlatform.h"
#include "support/RecordingRenderer.h"
#include "support/RecordingResourceManager.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;
using Log = std::vector<std::string>;
using Frame = std::pair<int, float>;  // timeline index of the part, local time
using Frames = std::vector<Frame>;

namespace {

// The process-wide engine is made before any test engine is active, so it never
// holds a renderer that a test destroys; targets read their first size from it.
class SingletonEnvironment : public ::testing::Environment {
    void SetUp() override { Demo::Engine::GetEngine()->SetSize(640, 480); }
};
const auto* const kSingleton = ::testing::AddGlobalTestEnvironment(new SingletonEnvironment);

struct FrameLog : Demo::Actor {
    FrameLog(int tag, Frames* frames) : tag(tag), frames(frames) {}
    void Update(float time) override { frames->push_back({tag, time}); }
    int tag;
    Frames* frames;
};

class Timeline : public ::testing::Test {
protected:
    Timeline() : gles(&renderer) { engine.SetFPS(50); }  // 20 ms steps
    Demo::Part* MakePart(float end, float start = 0.0f, bool add = true) {
        Demo::Part* part = new Demo::Part(end, start);
        FrameLog* log = new FrameLog(int(engine.parts.Size()), &frames);
        engine.Register(part);
        engine.Register(log);
        part->AttachUpdate(log);
        if (add) engine.AddPart(part);
        return part;
    }
    void Play(int n) {
        for (int i = 0; i < n; ++i) EXPECT_FALSE(engine.Render());
    }
    // The number of frames drawn before Render reports the end.
    int PlayToEnd() {
        for (int i = 0; i < 10000; ++i)
            if (engine.Render()) return i;
        return -1;
    }

    testsupport::RecordingRenderer renderer;
    RecordingEngine gles;
    testsupport::DemoPlatform platform;
    Demo::Engine engine;
    Frames frames;
};

using TimelineFixedStep = Timeline;
using TimelineMusic = Timeline;

TEST_F(TimelineFixedStep, PartsPlayBackToBackAt50Fps) {
    Demo::Part* first = MakePart(1000);
    Demo::Part* second = MakePart(2000);
    engine.Start();
    EXPECT_EQ(renderer.technique, &first->technique);
    Play(51);
    EXPECT_EQ(renderer.technique, &second->technique);
    EXPECT_EQ(PlayToEnd(), 99);
    Frames expected;
    for (int i = 0; i < 150; ++i)
        expected.push_back(i < 50 ? Frame(0, 20.0f * i) : Frame(1, 20.0f * (i - 50)));
    EXPECT_EQ(frames, expected);
    EXPECT_EQ(engine.time, 3000.0f);
    EXPECT_TRUE(engine.Render());  // finished stays finished
}

TEST_F(TimelineFixedStep, PartWithStartPlaysFromItsStartForItsLength) {
    MakePart(1500, 500);
    MakePart(100);
    engine.Start();
    ASSERT_EQ(PlayToEnd(), 55);
    EXPECT_EQ(frames[0], Frame(0, 500.0f));
    EXPECT_EQ(frames[49], Frame(0, 1480.0f));
    EXPECT_EQ(frames[50], Frame(1, 0.0f));
}

TEST_F(TimelineFixedStep, ZeroFpsLeavesOnePartPerFrame) {
    for (int i = 0; i < 3; ++i) MakePart(1000);
    engine.SetFPS(0);
    engine.Start();
    EXPECT_EQ(PlayToEnd(), 3);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], Frame(0, 0.0f));
    EXPECT_TRUE(frames[1].first == 1 && std::isinf(frames[1].second));
    EXPECT_EQ(frames[2].first, 2);
}

TEST_F(TimelineMusic, StartTimeSeeksThereAndRestartsTheMusicThere) {
    MakePart(1000);
    Demo::Part* second = MakePart(2000);
    engine.SetStartTime(2500);
    engine.Start();
    EXPECT_EQ(renderer.technique, &second->technique);
    Play(1);
    EXPECT_EQ(frames, Frames{Frame(1, 1500.0f)});
    engine.LoadMusic("file://track.ogg");
    const struct { float start; Log music; unsigned int part; } rows[] = {
        {0, {"Play"}, 0},
        {999.5f, {"Play", "Stop", "Play(999.5)"}, 0},
        {1000, {"Play", "Stop", "Play(1000)"}, 1},  // a part is left exactly at its end
        {NAN, {"Play", "Stop", "Play(nan)"}, 2}};   // NaN seeks past every part
    for (const auto& row : rows) {
        engine.SetTime(0);
        platform.musicLog.clear();
        engine.SetStartTime(row.start);
        engine.Start();
        EXPECT_EQ(platform.musicLog, row.music) << row.start;
        EXPECT_EQ(engine.currentPart, row.part) << row.start;
    }
    EXPECT_TRUE(engine.Render());
    engine.SetTime(0);  // a finished timeline comes back
    Play(1);
    EXPECT_EQ(frames.back(), Frame(0, 0.0f));
}

TEST_F(TimelineMusic, ClockJumpLeavesOnePartPerFrame) {
    for (int i = 0; i < 6; ++i) MakePart(1000);
    engine.LoadMusic("file://track.ogg");
    engine.Start();
    platform.musicTime = 100;
    Play(1);
    platform.musicTime = 5000;
    Play(7);
    EXPECT_EQ(frames, (Frames{{0, 100.0f}, {1, 4000.0f}, {2, 3000.0f}, {3, 2000.0f},
                              {4, 1000.0f}, {5, 0.0f}, {5, 0.0f}, {5, 0.0f}}));
    EXPECT_EQ(engine.time, 5000.0f);  // the fixed step is never added to the track clock
}

TEST_F(TimelineMusic, ReplacedAndMissingTracksFallBackToFixedStep) {
    MakePart(1000);
    engine.LoadMusic("file://a.ogg");
    platform.musicLoads = false;
    engine.LoadMusic("file://missing.ogg");
    EXPECT_EQ(engine.player, nullptr);
    EXPECT_EQ(platform.musicLog, (Log{"LoadStream(file://a.ogg)", "Stop", "Delete",
                                      "LoadStream(file://missing.ogg)", "Delete"}));
    engine.Start();
    platform.musicTime = 900;
    Play(2);
    EXPECT_EQ(frames, (Frames{{0, 0.0f}, {0, 20.0f}}));
}

TEST_F(TimelineMusic, PauseStopsTheMusicAndSeekingWhilePausedRestartsIt) {
    MakePart(5000);
    engine.LoadMusic("file://track.ogg");
    engine.Start();
    platform.musicTime = 700;
    Play(1);
    platform.musicLog.clear();
    CaptureFd out(1);
    engine.Pause();
    engine.Pause();
    EXPECT_EQ(out.Stop(), "PAUSE 700.000000 ms\n");
    platform.musicTime = 9000;  // the track clock is not read while paused
    Play(1);
    engine.SetTime(3000);
    Play(1);
    engine.Resume();
    engine.Resume();
    EXPECT_EQ(platform.musicLog, (Log{"Stop", "Stop", "Play(3000)", "Play(3000)"}));
    EXPECT_EQ(frames, (Frames{{0, 700.0f}, {0, 700.0f}, {0, 3000.0f}}));
}

TEST_F(Timeline, RenderOnceJobsDrawInOrderIntoTheirTargetsThenBackToTheWindow) {
    // B spans 500..1500 and its pass is switched on at local 600, so the log shows
    // whether a job's time was counted from the part's start.
    Demo::Part* parts[2] = {MakePart(1000), MakePart(1500, 500, false)};
    Demo::Target* targets[2] = {new Demo::Target(0.5f), new Demo::Target(0.5f)};
    auto* on = new Demo::Animation(Demo::Animation::IM_STEP, Demo::Animation::RM_CONSTANT, 1);
    engine.Register(on);
    on->AddKey(0.0f, false);
    on->AddKey(600.0f, true);
    on->SetDuration(10000.0f);
    for (int i = 0; i < 2; ++i) {
        CaptureFd out(1);  // the pass reports its missing scene and effect
        auto* pass = new Demo::Pass(nullptr, nullptr, nullptr);
        engine.Register(pass);
        engine.Register(targets[i]);
        if (i) pass->BindState(on);
        parts[i]->AddPass(pass);
        renderer.SetName(&pass->pass, i ? "PassB" : "PassA");
        renderer.SetName(&targets[i]->frameBuffer, i ? "TargetB" : "TargetA");
    }
    engine.SetSize(320, 240);
    engine.RenderOnce(parts[1], targets[1], 99);  // local 599: still off
    engine.RenderOnce(parts[1], targets[1], 100);
    engine.RenderOnce(parts[0], targets[0], 0);
    renderer.ClearLog();
    engine.Start();
    EXPECT_EQ(renderer.Joined(),
              "SetDefaultRenderTarget(TargetB), SetDefaultRenderTarget(TargetB), "
              "SetRenderTarget(null), Projection, Clear(PassB), "
              "SetDefaultRenderTarget(TargetA), SetRenderTarget(null), Projection, Clear(PassA), "
              "SetDefaultRenderTarget(null)");
    EXPECT_NE(targets[0]->frameBuffer.initializer, nullptr);  // every resource was made first
    EXPECT_EQ(targets[1]->height, 120u);                      // sized from the output
    EXPECT_EQ(renderer.technique, &parts[0]->technique);
    EXPECT_TRUE(frames.empty());
}

TEST_F(Timeline, MissingFilesGiveEmptyRegisteredObjects) {
    CaptureFd out(1);
    Demo::Scene* scene = engine.LoadScene("resource://missing.m3g");
    EXPECT_EQ(out.Stop(),
              "Demo::Engine::LoadScene(): can't open resource://missing.m3g, the scene is empty\n");
    EXPECT_NE(scene->scene, nullptr);
    EXPECT_TRUE(Demo::Engine::GetEngine()->objects.Contains(scene));
    EXPECT_EQ(engine.LoadImage("resource://none.png")->texture, nullptr);
}

TEST_F(Timeline, DemoAppMapsInitKeysAndOptionsOntoTheEngine) {
    DemoApp app(LuaScriptEngine::GetEngine(), &engine);
    CaptureFd out(1);
    EXPECT_TRUE(app.OnInit(800, 600));
    EXPECT_EQ(out.Stop(), "Demo::Engine::LoadScript(): can't open resource://scripts/init.lua\n");
    MakePart(1000);
    MakePart(1000);
    engine.LoadMusic("file://track.ogg");
    EXPECT_EQ(engine.player->app, &app);  // so the track's end reaches the app
    App::RunOptions options;
    options.hasStartTime = true;
    options.startTime = 1500;
    options.offline = true;  // drops the track and steps the clock
    app.OnRunOptions(options);
    engine.LoadMusic("file://later.ogg");
    EXPECT_EQ(engine.player, nullptr);
    EXPECT_EQ(platform.musicLog, (Log{"LoadStream(file://track.ogg)", "Stop", "Delete"}));
    app.OnRunOptions(App::RunOptions());  // without --start the start time stays
    app.OnSetFPS(25);
    app.OnStart();
    CaptureFd paused(1);
    EXPECT_FALSE(app.OnInputMessage({InputMessage::IM_Key, ' '}));
    Play(2);
    EXPECT_FALSE(app.OnInputMessage({InputMessage::IM_Key, 0}));  // a key without a character
    EXPECT_FALSE(app.OnInputMessage({InputMessage::IM_Key, ' '}));
    EXPECT_EQ(paused.Stop(), "PAUSE 1500.000000 ms\n");
    Play(2);
    EXPECT_FALSE(app.OnInputMessage({InputMessage::IM_Key, '1'}));
    EXPECT_FALSE(app.Render());
    EXPECT_EQ(frames, (Frames{{1, 500.0f}, {1, 500.0f}, {1, 500.0f}, {1, 540.0f}, {0, 0.0f}}));
    app.engine = nullptr;  // the fixture's, not the application's to delete
}

}  // namespace
