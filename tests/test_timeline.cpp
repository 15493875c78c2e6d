// The demo engine's timeline: part boundaries, local times, the fixed-step and
// music clocks, start time, pause and seek, one-off renders into targets, and
// the demo application's mapping of lifecycle and keys onto the engine.
#include <gtest/gtest.h>
#include <lua.hpp>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "app/DemoApp.h"
#include "demo/Actor.h"
#include "demo/Animation.h"
#include "demo/Engine.h"
#include "demo/Image.h"
#include "demo/Part.h"
#include "demo/Pass.h"
#include "demo/Scene.h"
#include "demo/Target.h"
#include "engine/Scene.h"
#include "engine/Texture2D.h"
#include "script/LuaScriptEngine.h"
#include "support/DemoPlatform.h"
#include "support/RecordingRenderer.h"
#include "support/RecordingResourceManager.h"
#include "support/SystemMessages.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;
using testsupport::DemoPlatform;
using testsupport::RecordingRenderer;

namespace {

// The process-wide demo engine is made once, before any test engine is
// active, so it never holds a renderer that a test destroys. Targets read
// their initial size from it.
class SingletonEnvironment : public ::testing::Environment {
public:
    void SetUp() override { Demo::Engine::GetEngine()->SetSize(640, 480); }
};
const ::testing::Environment* const kSingleton =
    ::testing::AddGlobalTestEnvironment(new SingletonEnvironment);

// One entry per Update: which part (by the actor's tag) at which local time.
struct Frame {
    int part;
    float local;
};

class FrameLog : public Demo::Actor {
public:
    FrameLog(int tag, std::vector<Frame>* frames) : tag(tag), frames(frames) {}
    void Update(float time) override { frames->push_back({tag, time}); }
    int tag;
    std::vector<Frame>* frames;
};

class Timeline : public ::testing::Test {
protected:
    Timeline() : gles(&renderer) {}

    // A part of the given window with a logging actor, owned by the engine.
    Demo::Part* MakePart(float end, float start = 0.0f) {
        Demo::Part* part = new Demo::Part(end, start);
        engine.Register(part);
        FrameLog* log = new FrameLog(int(partsMade++), &frames);
        engine.Register(log);
        part->AttachUpdate(log);
        return part;
    }

    // Renders until the engine reports the end (at most `limit` frames);
    // returns the number of frames for which Render returned false.
    int PlayToEnd(int limit = 10000) {
        for (int i = 0; i < limit; ++i)
            if (engine.Render()) return i;
        return -1;
    }

    RecordingRenderer renderer;
    RecordingEngine gles;
    DemoPlatform platform;
    Demo::Engine engine;
    std::vector<Frame> frames;
    unsigned int partsMade = 0;
};

using TimelineFixedStep = Timeline;

TEST_F(TimelineFixedStep, PartsPlayBackToBackAt50Fps) {
    Demo::Part* first = MakePart(1000);
    Demo::Part* second = MakePart(2000);
    engine.AddPart(first);
    engine.AddPart(second);
    engine.SetFPS(50);
    engine.Start();
    EXPECT_EQ(renderer.technique, &first->technique);

    // Frames 0..49 show part 0 at 0, 20, ..., 980; the frame at global 1000
    // shows part 1 at local 0.
    for (int i = 0; i < 50; ++i) {
        ASSERT_FALSE(engine.Render());
        ASSERT_EQ(frames.back().part, 0);
        ASSERT_EQ(frames.back().local, 20.0f * i);
    }
    ASSERT_FALSE(engine.Render());
    EXPECT_EQ(frames.back().part, 1);
    EXPECT_EQ(frames.back().local, 0.0f);
    EXPECT_EQ(renderer.technique, &second->technique);
    EXPECT_EQ(engine.partBase, 1000.0f);

    // 99 more frames of part 1 (20 .. 1980), then the frame at 3000 ends it.
    EXPECT_EQ(PlayToEnd(), 99);
    EXPECT_EQ(frames.size(), 150u);
    EXPECT_EQ(frames.back().local, 1980.0f);
    EXPECT_EQ(engine.time, 3000.0f);
    // Finished stays finished.
    EXPECT_TRUE(engine.Render());
    EXPECT_EQ(frames.size(), 150u);
}

TEST_F(TimelineFixedStep, PartWithStartPlaysFromItsStartForItsLength) {
    engine.AddPart(MakePart(1500, 500));
    engine.AddPart(MakePart(100));
    engine.SetFPS(50);
    engine.Start();
    EXPECT_FALSE(engine.Render());
    EXPECT_EQ(frames[0].local, 500.0f);
    EXPECT_EQ(engine.GetPartTime(), 520.0f);  // the clock has moved on by one step
    PlayToEnd();
    int firstPartFrames = 0;
    for (const Frame& f : frames) firstPartFrames += f.part == 0;
    EXPECT_EQ(firstPartFrames, 50);
    EXPECT_EQ(frames[50].part, 1);
    EXPECT_EQ(frames[50].local, 0.0f);
    EXPECT_EQ(frames[49].local, 1480.0f);
}

TEST_F(TimelineFixedStep, ZeroFpsLeavesOnePartPerFrame) {
    engine.AddPart(MakePart(1000));
    engine.AddPart(MakePart(1000));
    engine.AddPart(MakePart(1000));
    engine.SetFPS(0);
    EXPECT_TRUE(std::isinf(engine.frameStep));
    engine.Start();
    EXPECT_EQ(PlayToEnd(), 3);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].part, 0);
    EXPECT_EQ(frames[0].local, 0.0f);
    EXPECT_EQ(frames[1].part, 1);
    EXPECT_TRUE(std::isinf(frames[1].local));
    EXPECT_EQ(frames[2].part, 2);
}

TEST_F(TimelineFixedStep, EmptyTimelineFinishesOnFirstFrame) {
    engine.SetFPS(60);
    engine.SetStartTime(500);
    engine.Start();
    EXPECT_EQ(renderer.technique, nullptr);
    EXPECT_TRUE(engine.Render());
    EXPECT_EQ(engine.GetPartTime(), 500.0f);
    engine.SetTime(100);
    EXPECT_TRUE(engine.Render());
}

TEST_F(TimelineFixedStep, PartAddedTwicePlaysTwice) {
    Demo::Part* part = MakePart(40);
    engine.AddPart(part);
    engine.AddPart(part);
    engine.SetFPS(50);
    engine.Start();
    EXPECT_EQ(PlayToEnd(), 4);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[2].local, 0.0f);
    EXPECT_EQ(frames[3].local, 20.0f);
}

using TimelineStart = Timeline;

TEST_F(TimelineStart, StartTimeSeeksIntoSecondPart) {
    Demo::Part* second;
    engine.AddPart(MakePart(1000));
    engine.AddPart(second = MakePart(2000));
    engine.SetFPS(50);
    engine.SetStartTime(2500);
    engine.Start();
    EXPECT_EQ(engine.currentPart, 1u);
    EXPECT_EQ(engine.partBase, 1000.0f);
    EXPECT_EQ(engine.GetPartTime(), 1500.0f);
    EXPECT_EQ(renderer.technique, &second->technique);
    EXPECT_FALSE(engine.Render());
    EXPECT_EQ(frames.back().part, 1);
    EXPECT_EQ(frames.back().local, 1500.0f);
}

TEST_F(TimelineStart, StartTimeRestartsTheMusicThere) {
    engine.AddPart(MakePart(1000));
    engine.AddPart(MakePart(2000));
    engine.LoadMusic("file://track.ogg");
    engine.SetStartTime(2500);
    engine.Start();
    EXPECT_EQ(platform.musicLog,
              (std::vector<std::string>{"LoadStream(file://track.ogg)", "Play", "Stop",
                                        "Play(2500)"}));
    EXPECT_EQ(engine.currentPart, 1u);
}

TEST_F(TimelineStart, ZeroStartTimeDoesNotSeek) {
    engine.AddPart(MakePart(1000));
    engine.LoadMusic("file://track.ogg");
    engine.Start();
    EXPECT_EQ(platform.musicLog,
              (std::vector<std::string>{"LoadStream(file://track.ogg)", "Play"}));
}

TEST_F(TimelineStart, NaNStartTimeSeeksPastEveryPart) {
    engine.AddPart(MakePart(1000));
    engine.LoadMusic("file://track.ogg");
    engine.SetStartTime(NAN);
    engine.Start();
    EXPECT_EQ(engine.currentPart, 1u);
    EXPECT_EQ(platform.musicLog.back(), "Play(nan)");
    EXPECT_TRUE(engine.Render());
}

TEST_F(TimelineStart, StartInitialisesEveryResourceFirst) {
    Demo::Target* target = new Demo::Target(1.0f);
    engine.Register(target);
    engine.Start();
    // The target's framebuffer, texture and depth buffer got their GPU side.
    EXPECT_NE(target->frameBuffer.initializer, nullptr);
    EXPECT_NE(target->texture.initializer, nullptr);
    EXPECT_NE(target->depthBuffer.initializer, nullptr);
}

using TimelineMusic = Timeline;

TEST_F(TimelineMusic, ClockJumpLeavesOnePartPerFrame) {
    for (int i = 0; i < 6; ++i) engine.AddPart(MakePart(1000));
    engine.SetFPS(50);
    engine.LoadMusic("file://track.ogg");
    engine.Start();
    platform.musicTime = 100;
    EXPECT_FALSE(engine.Render());
    platform.musicTime = 5000;
    for (int i = 0; i < 7; ++i) EXPECT_FALSE(engine.Render());
    std::vector<std::pair<int, float>> seen;
    for (const Frame& f : frames) seen.push_back({f.part, f.local});
    EXPECT_EQ(seen, (std::vector<std::pair<int, float>>{{0, 100.0f},
                                                         {1, 4000.0f},
                                                         {2, 3000.0f},
                                                         {3, 2000.0f},
                                                         {4, 1000.0f},
                                                         {5, 0.0f},
                                                         {5, 0.0f},
                                                         {5, 0.0f}}));
    // The music clock is never advanced by the engine.
    EXPECT_EQ(engine.time, 5000.0f);
}

TEST_F(TimelineMusic, TrackShorterThanTimelineKeepsDrawingTheSameTime) {
    engine.AddPart(MakePart(10000));
    engine.LoadMusic("file://short.ogg");
    engine.SetFPS(50);
    engine.Start();
    platform.musicTime = 4321;  // where the track ended
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(engine.Render());
    for (const Frame& f : frames) EXPECT_EQ(f.local, 4321.0f);
}

TEST_F(TimelineMusic, FailedLoadFallsBackToFixedStep) {
    engine.AddPart(MakePart(1000));
    platform.musicLoads = false;
    engine.LoadMusic("file://missing.ogg");
    EXPECT_EQ(engine.player, nullptr);
    EXPECT_EQ(platform.musicLog,
              (std::vector<std::string>{"LoadStream(file://missing.ogg)", "Delete"}));
    engine.SetFPS(50);
    engine.Start();
    engine.Render();
    engine.Render();
    EXPECT_EQ(frames[1].local, 20.0f);
}

TEST_F(TimelineMusic, SecondLoadReplacesThePlayer) {
    testsupport::RecordingApp app;
    engine.app = &app;
    engine.LoadMusic("file://a.ogg");
    engine.LoadMusic("file://b.ogg");
    EXPECT_EQ(platform.musicLog,
              (std::vector<std::string>{"LoadStream(file://a.ogg)", "Stop", "Delete",
                                        "LoadStream(file://b.ogg)"}));
    EXPECT_EQ(platform.playersMade, 2);
    EXPECT_EQ(platform.lastApp, &app);
}

TEST_F(TimelineMusic, OfflineIgnoresTheMusicAndStepsTheClock) {
    engine.AddPart(MakePart(1000));
    engine.LoadMusic("file://track.ogg");  // loaded by the start script...
    engine.SetOffline(true);               // ...then dropped by the run options
    EXPECT_EQ(engine.player, nullptr);
    engine.LoadMusic("file://later.ogg");
    EXPECT_EQ(engine.player, nullptr);
    EXPECT_EQ(platform.musicLog, (std::vector<std::string>{"LoadStream(file://track.ogg)",
                                                           "Stop", "Delete"}));
    engine.SetFPS(25);
    engine.Start();
    platform.musicTime = 900;
    engine.Render();
    engine.Render();
    EXPECT_EQ(frames[0].local, 0.0f);
    EXPECT_EQ(frames[1].local, 40.0f);
}

using TimelinePause = Timeline;

TEST_F(TimelinePause, PausePrintsTimeOnceAndFreezesTheClock) {
    engine.AddPart(MakePart(5000));
    engine.SetFPS(50);
    engine.Start();
    engine.SetTime(1234);
    CaptureFd out(1);
    engine.Pause();
    engine.Pause();
    std::string printed = out.Stop();
    EXPECT_EQ(printed, "PAUSE 1234.000000 ms\n");
    EXPECT_TRUE(engine.paused);
    engine.Render();
    engine.Render();
    EXPECT_EQ(frames[0].local, 1234.0f);
    EXPECT_EQ(frames[1].local, 1234.0f);
    engine.Resume();
    EXPECT_FALSE(engine.paused);
    engine.Render();
    engine.Render();
    EXPECT_EQ(frames[3].local, 1254.0f);
}

TEST_F(TimelinePause, PauseAndResumeStopAndRestartTheMusicAtTheClock) {
    engine.AddPart(MakePart(5000));
    engine.LoadMusic("file://track.ogg");
    engine.Start();
    platform.musicTime = 700;
    engine.Render();
    platform.musicLog.clear();
    CaptureFd out(1);
    engine.Pause();
    EXPECT_EQ(out.Stop(), "PAUSE 700.000000 ms\n");
    // While paused the track clock is not read.
    platform.musicTime = 9000;
    engine.Render();
    EXPECT_EQ(frames.back().local, 700.0f);
    engine.Resume();
    engine.Resume();
    EXPECT_EQ(platform.musicLog, (std::vector<std::string>{"Stop", "Play(700)"}));
}

using TimelineSeek = Timeline;

TEST_F(TimelineSeek, PartIsLeftExactlyAtItsEnd) {
    Demo::Part* second;
    engine.AddPart(MakePart(1000));
    engine.AddPart(second = MakePart(1000));
    engine.SetFPS(50);
    engine.Start();
    engine.SetTime(999.5f);
    EXPECT_EQ(engine.currentPart, 0u);
    engine.SetTime(1000);
    EXPECT_EQ(engine.currentPart, 1u);
    EXPECT_EQ(renderer.technique, &second->technique);
    EXPECT_EQ(engine.GetPartTime(), 0.0f);
}

TEST_F(TimelineSeek, SeekBringsAFinishedTimelineBack) {
    engine.AddPart(MakePart(100));
    engine.SetFPS(50);
    engine.Start();
    EXPECT_EQ(PlayToEnd(), 5);
    EXPECT_TRUE(engine.Render());
    engine.SetTime(0);
    EXPECT_FALSE(engine.Render());
    EXPECT_EQ(frames.back().local, 0.0f);
}

TEST_F(TimelineSeek, SeekWhilePausedRestartsMusicButStaysPaused) {
    engine.AddPart(MakePart(5000));
    engine.LoadMusic("file://track.ogg");
    engine.Start();
    CaptureFd out(1);
    engine.Pause();
    out.Stop();
    platform.musicLog.clear();
    engine.SetTime(3000);
    EXPECT_TRUE(engine.paused);
    EXPECT_EQ(platform.musicLog, (std::vector<std::string>{"Stop", "Play(3000)"}));
    platform.musicTime = 3500;
    engine.Render();
    EXPECT_EQ(frames.back().local, 3000.0f);
}

// Render jobs: a part with one screen pass whose enable switch turns on at a
// given part-local time, so the log shows whether the job's time was used.
class RenderOnceJobs : public Timeline {
protected:
    Demo::Part* PartWithPass(const std::string& name, float start, float onAt) {
        Demo::Part* part = MakePart(start + 1000, start);
        Demo::Pass* pass = new Demo::Pass(nullptr, nullptr, nullptr);
        engine.Register(pass);
        Demo::Animation* on =
            new Demo::Animation(Demo::Animation::IM_STEP, Demo::Animation::RM_CONSTANT, 1);
        engine.Register(on);
        if (onAt > 0.0f) on->AddKey(0.0f, false);
        on->AddKey(onAt, true);
        on->SetDuration(10000.0f);
        pass->BindState(on);
        part->AddPass(pass);
        renderer.SetName(&pass->pass, name);
        return part;
    }
    Demo::Target* MakeTarget(const std::string& name) {
        Demo::Target* target = new Demo::Target(0.5f);
        engine.Register(target);
        renderer.SetName(&target->frameBuffer, name);
        return target;
    }
};

TEST_F(RenderOnceJobs, JobsDrawInOrderIntoTheirTargetsThenBackToTheWindow) {
    CaptureFd out(1);  // the passes report their missing scene and effect
    Demo::Part* a = PartWithPass("PassA", 0, 0);
    Demo::Part* b = PartWithPass("PassB", 500, 600);
    out.Stop();
    Demo::Target* ta = MakeTarget("TargetA");
    Demo::Target* tb = MakeTarget("TargetB");
    engine.AddPart(a);
    engine.SetSize(320, 240);
    engine.RenderOnce(b, tb, 100);  // local 600: the switch is just on
    engine.RenderOnce(a, ta, 0);
    renderer.ClearLog();
    engine.Start();
    EXPECT_EQ(renderer.Joined(),
              "SetDefaultRenderTarget(TargetB), SetRenderTarget(null), Projection, Clear(PassB), "
              "SetDefaultRenderTarget(TargetA), SetRenderTarget(null), Projection, Clear(PassA), "
              "SetDefaultRenderTarget(null)");
    // Each target was sized from the output size (scale 0.5).
    EXPECT_EQ(ta->width, 160u);
    EXPECT_EQ(tb->height, 120u);
    // Part 0 is bound afterwards and nothing updated the parts.
    EXPECT_EQ(renderer.technique, &a->technique);
    EXPECT_TRUE(frames.empty());
}

TEST_F(RenderOnceJobs, JobTimeIsCountedFromThePartStart) {
    CaptureFd out(1);
    Demo::Part* b = PartWithPass("PassB", 500, 600);
    out.Stop();
    Demo::Target* tb = MakeTarget("TargetB");
    engine.RenderOnce(b, tb, 99);  // local 599: the switch is still off
    renderer.ClearLog();
    engine.Start();
    EXPECT_EQ(renderer.Joined(), "SetDefaultRenderTarget(TargetB), SetDefaultRenderTarget(null)");
}

TEST_F(RenderOnceJobs, JobsWithoutPartOrTargetAreRefused) {
    Demo::Part* part = MakePart(1000);
    Demo::Target* target = MakeTarget("T");
    CaptureFd out(1);
    engine.RenderOnce(nullptr, target, 0);
    engine.RenderOnce(part, nullptr, 0);
    engine.AddPart(nullptr);
    EXPECT_EQ(out.Stop(),
              "Demo::Engine::RenderOnce(): no part\n"
              "Demo::Engine::RenderOnce(): no target\n"
              "Demo::Engine::AddPart(): no part\n");
    EXPECT_EQ(engine.renderJobs.Size(), 0u);
    EXPECT_EQ(engine.parts.Size(), 0u);
    renderer.ClearLog();
    engine.Start();
    EXPECT_EQ(renderer.Joined(), "SetDefaultRenderTarget(null)");
}

using EngineLoading = Timeline;

TEST_F(EngineLoading, MissingSceneFileGivesAnEmptyRegisteredScene) {
    CaptureFd out(1);
    Demo::Scene* scene = engine.LoadScene("resource://missing.m3g");
    Demo::Scene* none = engine.LoadScene(nullptr);
    std::string printed = out.Stop();
    EXPECT_NE(printed.find("Demo::Engine::LoadScene(): can't open resource://missing.m3g, the "
                           "scene is empty\n"),
              std::string::npos);
    EXPECT_NE(printed.find("Demo::Engine::LoadScene(): no URL, the scene is empty\n"),
              std::string::npos);
    ASSERT_NE(scene, nullptr);
    ASSERT_NE(scene->scene, nullptr);
    ASSERT_NE(none, nullptr);
    // Registered with the process-wide engine, which owns every demo object.
    EXPECT_TRUE(Demo::Engine::GetEngine()->objects.Contains(scene));
}

TEST_F(EngineLoading, ImagesAreRegisteredEvenWhenTheyFail) {
    platform.images["resource://a.png"] = {256, 128};
    Demo::Image* good = engine.LoadImage("resource://a.png");
    Demo::Image* bad = engine.LoadImage("resource://none.png");
    CaptureFd out(1);
    Demo::Image* none = engine.LoadImage(nullptr);
    EXPECT_EQ(out.Stop(), "Demo::Engine::LoadImage(): no URL, the image is empty\n");
    EXPECT_EQ(good->GetWidth(), 256u);
    EXPECT_EQ(good->GetHeight(), 128u);
    EXPECT_EQ(bad->texture, nullptr);
    EXPECT_EQ(none->texture, nullptr);
    EXPECT_EQ(platform.imageLoadersMade, 1);
    EXPECT_EQ(engine.objects.Size(), 3u);
    EXPECT_EQ(engine.objects[2], none);
}

TEST_F(EngineLoading, ScriptsRunThroughTheScriptEngine) {
    platform.files["resource://scripts/set.lua"] = "timelineTestValue = 17";
    CaptureFd out(1);
    engine.LoadScript("resource://scripts/set.lua");
    engine.LoadScript("resource://scripts/none.lua");
    engine.LoadScript(nullptr);
    EXPECT_EQ(out.Stop(),
              "Demo::Engine::LoadScript(): can't open resource://scripts/none.lua\n"
              "Demo::Engine::LoadScript(): no URL\n");
    lua_State* L = LuaScriptEngine::GetEngine()->state;
    lua_getglobal(L, "timelineTestValue");
    EXPECT_EQ(lua_tonumber(L, -1), 17.0);
    lua_pop(L, 1);
}

TEST_F(EngineLoading, SizeReachesPartsAndViewport) {
    Demo::Part* part = MakePart(1000);
    Demo::Target* target = new Demo::Target(1.0f);
    engine.Register(target);
    CaptureFd out(1);  // the passes report their missing scene and effect
    Demo::Pass* pass = new Demo::Pass(nullptr, nullptr, target);
    engine.Register(pass);
    part->AddPass(pass);
    engine.AddPart(part);
    renderer.ClearLog();
    engine.SetSize(1024, 768);
    EXPECT_EQ(renderer.Joined(), "SetViewport(0,0,1024,768)");
    EXPECT_EQ(target->width, 1024u);
    // A part added later is sized on the spot.
    Demo::Part* later = MakePart(10);
    Demo::Pass* laterPass = new Demo::Pass(nullptr, nullptr, target);
    engine.Register(laterPass);
    later->AddPass(laterPass);
    target->SetSize(1, 1);
    engine.AddPart(later);
    EXPECT_EQ(target->width, 1024u);
}

TEST(EngineWithoutRenderer, EveryFrameStepSkipsTheMissingRenderer) {
    ASSERT_EQ(Engine::activeEngine, nullptr);
    Demo::Engine engine;
    EXPECT_EQ(engine.renderer, nullptr);
    EXPECT_EQ(engine.resourceManager, nullptr);
    Demo::Part* part = new Demo::Part(40, 0);
    engine.Register(part);
    Demo::Target* target = new Demo::Target(1.0f);
    engine.Register(target);
    engine.SetSize(100, 100);
    engine.SetFPS(50);
    engine.AddPart(part);
    engine.RenderOnce(part, target, 0);
    engine.SetStartTime(20);
    engine.Start();
    EXPECT_FALSE(engine.Render());
    EXPECT_TRUE(engine.Render());
}

// The demo application forwards to the engine it was given.
class DemoAppForwarding : public Timeline {
protected:
    InputMessage Key(unsigned char key, int type = InputMessage::IM_Key) {
        InputMessage msg;
        msg.type = type;
        msg.key = key;
        return msg;
    }
};

TEST_F(DemoAppForwarding, DescriptionRecordIsTheDemo) {
    const App::Info& info = App::GetInfo();
    EXPECT_STREQ(info.name, "Vomra Demo");
    EXPECT_FALSE(info.fullscreen);
    EXPECT_EQ(info.width, 800u);
    EXPECT_EQ(info.height, 600u);
    EXPECT_EQ(info.colorBits, 24);
    EXPECT_EQ(info.alphaBits, 8);
    EXPECT_EQ(info.depthBits, 16);
    EXPECT_EQ(info.samples, 4);
    EXPECT_EQ(info.fps, 60);
    EXPECT_STREQ(info.resourceLibrary, "vomra.res");
}

TEST_F(DemoAppForwarding, InitSizesSetsRateAndRunsTheStartScript) {
    platform.files["resource://scripts/init.lua"] = "demoAppInitRan = 1";
    DemoApp app(LuaScriptEngine::GetEngine(), &engine);
    EXPECT_EQ(engine.app, &app);
    renderer.ClearLog();
    EXPECT_TRUE(app.OnInit(1280, 720));
    EXPECT_EQ(engine.width, 1280u);
    EXPECT_EQ(engine.height, 720u);
    EXPECT_EQ(engine.frameStep, 1000.0f / 60.0f);
    EXPECT_EQ(renderer.Joined(), "SetViewport(0,0,1280,720)");
    EXPECT_EQ(platform.requestedUrls, std::vector<std::string>{"resource://scripts/init.lua"});
    lua_State* L = LuaScriptEngine::GetEngine()->state;
    lua_getglobal(L, "demoAppInitRan");
    EXPECT_EQ(lua_tonumber(L, -1), 1.0);
    lua_pop(L, 1);
    app.OnSetFPS(25);
    EXPECT_EQ(engine.frameStep, 40.0f);
}

TEST_F(DemoAppForwarding, InitSucceedsWithoutStartScript) {
    DemoApp app(LuaScriptEngine::GetEngine(), &engine);
    CaptureFd out(1);
    EXPECT_TRUE(app.OnInit(800, 600));
    EXPECT_EQ(out.Stop(), "Demo::Engine::LoadScript(): can't open resource://scripts/init.lua\n");
}

TEST_F(DemoAppForwarding, SpaceTogglesPauseAndOneRewinds) {
    DemoApp app(LuaScriptEngine::GetEngine(), &engine);
    engine.AddPart(MakePart(1000));
    engine.AddPart(MakePart(1000));
    app.OnSetFPS(50);
    app.OnStart();
    engine.SetTime(1500);
    CaptureFd out(1);
    EXPECT_FALSE(app.OnInputMessage(Key(' ')));
    EXPECT_TRUE(engine.paused);
    EXPECT_FALSE(app.OnInputMessage(Key(' ')));
    EXPECT_FALSE(engine.paused);
    // Arrow keys carry their Unicode byte too, but only type 5 is looked at.
    EXPECT_FALSE(app.OnInputMessage(Key(' ', InputMessage::IM_ArrowUp)));
    EXPECT_FALSE(engine.paused);
    EXPECT_EQ(out.Stop(), "PAUSE 1500.000000 ms\n");
    EXPECT_FALSE(app.OnInputMessage(Key('1')));
    EXPECT_EQ(engine.currentPart, 0u);
    EXPECT_EQ(engine.time, 0.0f);
    EXPECT_FALSE(app.OnInputMessage(Key('2')));
    EXPECT_EQ(engine.time, 0.0f);
    EXPECT_FALSE(app.Render());
    EXPECT_EQ(frames.back().local, 0.0f);
    EXPECT_FALSE(app.OnSystemMessage(App::SystemMusicFinished, nullptr));
}

TEST_F(DemoAppForwarding, RunOptionsSetStartTimeAndOfflineClock) {
    DemoApp app(LuaScriptEngine::GetEngine(), &engine);
    engine.AddPart(MakePart(1000));
    engine.AddPart(MakePart(1000));
    engine.LoadMusic("file://track.ogg");
    App::RunOptions options;
    options.hasStartTime = true;
    options.startTime = 1250;
    options.offline = true;
    app.OnRunOptions(options);
    EXPECT_EQ(engine.startTime, 1250.0f);
    EXPECT_EQ(engine.player, nullptr);
    app.OnSetFPS(50);
    app.OnStart();
    EXPECT_FALSE(app.Render());
    EXPECT_FALSE(app.Render());
    EXPECT_EQ(frames[0].part, 1);
    EXPECT_EQ(frames[0].local, 250.0f);
    EXPECT_EQ(frames[1].local, 270.0f);
}

TEST_F(DemoAppForwarding, RunOptionsWithoutStartKeepTheScriptStartTime) {
    DemoApp app(LuaScriptEngine::GetEngine(), &engine);
    engine.SetStartTime(700);
    app.OnRunOptions(App::RunOptions());
    EXPECT_EQ(engine.startTime, 700.0f);
    EXPECT_FALSE(engine.offline);
}

}  // namespace
