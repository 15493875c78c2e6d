// Live authoring: the player run in this process with --content and --watch
// on the test display while files change on disk, its frames read back; the
// seeking keys; the music across seeks and reloads; 200 reloads that leave
// memory and GPU objects where they were; and the real program's caption and
// keys through the X server.
#include "app/AudioPlayer.h"
#include "app/DemoApp.h"
#include "app/SDLApp.h"
#include "app/WavWriter.h"
#include "demo/Engine.h"
#include "demo/Part.h"
#include "script/LuaScriptEngine.h"
#include "support/DemoPlatform.h"
#include "support/RecordingRenderer.h"
#include "support/RecordingResourceManager.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <GLES2/gl2.h>
#include <unistd.h>
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using testsupport::BinaryPath;
using testsupport::CaptureFd;
using testsupport::CommandResult;
using testsupport::TempDir;
using testsupport::WriteFileMakingDirs;

namespace {

const char* kQuadVert =
    "attribute vec4 Vomra_va_Location;\n"
    "uniform mat4 Vomra_un_Projection;\n"
    "uniform mat4 Vomra_un_View;\n"
    "uniform mat4 Vomra_un_Model;\n"
    "void main() {\n"
    "  gl_Position = Vomra_un_Projection * Vomra_un_View * Vomra_un_Model *\n"
    "                vec4(Vomra_va_Location.xy, 0.0, 1.0);\n"
    "}\n";

std::string Colour(const char* rgb) {
    return std::string("precision mediump float;\nvoid main() { gl_FragColor = vec4(") + rgb +
           ", 1.0); }\n";
}

// One part per entry: its length (ms) and the fragment shader it fills the screen with.
std::string Timeline(const std::vector<std::pair<int, const char*>>& parts) {
    std::string script = "local engine = Engine:GetEngine()\n";
    for (const auto& part : parts) {
        script += "do\n  local e = Effect:New('resource://quad.vert', 'resource://" +
                  std::string(part.second) + "')\n  local p = Part:New(" + std::to_string(part.first) +
                  ")\n  p:AddPass(Pass:New(Scene:CreateFS(), e))\n  engine:AddPart(p)\nend\n";
    }
    return script;
}

struct Args {
    explicit Args(std::vector<std::string> list) : strings(std::move(list)) {
        strings.insert(strings.begin(), "vomra");
        for (std::string& s : strings) pointers.push_back(&s[0]);
        pointers.push_back(nullptr);
    }
    int argc() const { return int(strings.size()); }
    char** argv() { return pointers.data(); }
    std::vector<std::string> strings;
    std::vector<char*> pointers;
};

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}
const Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kBlack{0, 0, 0};

double Seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The player as main would run it (the application module's DemoApp), driven
// frame by frame; 64x48 at 50 fps, so the clock steps 20 ms a frame.
class Player {
public:
    explicit Player(std::vector<std::string> options) : args(With(std::move(options))),
        shell(args.argc(), args.argv()) {}
    static std::vector<std::string> With(std::vector<std::string> options) {
        options.insert(options.end(), {"--width", "64", "--height", "48", "--fps", "50"});
        return options;
    }
    bool Start() {
        if (!shell.Initialize()) return false;
        app = dynamic_cast<DemoApp*>(shell.GetApp());
        if (!app) return false;
        app->OnStart();
        return true;
    }
    Demo::Engine* Engine() const { return app->engine; }
    // One frame; true once the timeline is over.
    bool Frame() { return app->Render(); }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) Frame();
    }
    Rgb Centre() {
        unsigned char p[4] = {0, 0, 0, 0};
        glReadPixels(32, 24, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return Rgb{p[0], p[1], p[2]};
    }
    // Frames until the centre shows `colour`, at most `seconds` of them.
    bool FramesUntil(const Rgb& colour, double seconds) {
        for (double end = Seconds() + seconds; Seconds() < end;) {
            Frame();
            if (Centre() == colour) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    // Frames for a while: long enough for a change on disk to settle and be reloaded.
    void FramesFor(double seconds) {
        for (double end = Seconds() + seconds; Seconds() < end;) {
            Frame();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    void Key(SDLKey sym, unsigned short unicode = 0) {
        SDL_Event e;
        memset(&e, 0, sizeof e);
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = sym;
        e.key.keysym.unicode = unicode;
        shell.HandleEvent(&e);
    }

    Args args;
    SDLApp shell;
    DemoApp* app = nullptr;
};

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(LiveReload, AShaderSavedOnDiskShowsInTheNextFramesAtTheSameTime) {
    TempDir dir;
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("quad.vert"), kQuadVert));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("colour.frag"), Colour("1.0, 0.0, 0.0")));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("scripts/init.lua"), Timeline({{60000, "colour.frag"}})));
    Player player({"--content", dir.Path(), "--watch"});
    ASSERT_TRUE(player.Start());
    player.Frames(3);
    EXPECT_EQ(player.Centre(), kRed);
    float before = player.Engine()->time;

    CaptureFd out(1);
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("colour.frag"), Colour("0.0, 1.0, 0.0")));
    double written = Seconds();
    EXPECT_TRUE(player.FramesUntil(kGreen, 5.0));
    double took = Seconds() - written;
    std::string said = out.Stop();
    EXPECT_EQ(Count(said, "DemoApp::Reload(): resource://scripts/init.lua at "), 1u) << said;
    // Noticed within half a second; the reload itself is the rest.
    EXPECT_LT(took, 3.0);
    // The clock went on from where it was, not from 0.
    EXPECT_GT(player.Engine()->time, before);
    EXPECT_EQ(player.Engine()->currentPart, 0u);
}

TEST(LiveReload, AShaderThatNoLongerBuildsKeepsThePreviousPictureUntilTheNextGoodSave) {
    TempDir dir;
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("quad.vert"), kQuadVert));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("colour.frag"), Colour("1.0, 0.0, 0.0")));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("scripts/init.lua"), Timeline({{60000, "colour.frag"}})));
    Player player({"--content", dir.Path(), "--watch"});
    ASSERT_TRUE(player.Start());
    player.Frames(2);
    ASSERT_EQ(player.Centre(), kRed);

    CaptureFd out(1);
    // Half a save: the text ends inside a statement.
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("colour.frag"),
                                    "precision mediump float;\nvoid main() { gl_FragColor = vec4(0.0, 0"));
    player.FramesFor(1.5);
    EXPECT_EQ(player.Centre(), kRed);
    std::string said = out.Stop();
    EXPECT_EQ(Count(said, "DemoApp::Reload()"), 1u) << said;
    EXPECT_NE(said.find("Failed to compile fragment shader:"), std::string::npos) << said;
    std::string urls = "resource://quad.vert and resource://colour.frag";
    EXPECT_NE(said.find("GLES2ProgramInitializer::Init(): program of " + urls +
                        " not built, its passes draw nothing\n"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("Demo::ProgramKeeper::Restore(): the passes of " + urls +
                        " draw with the program last built from them\n"),
              std::string::npos)
        << said;
    EXPECT_EQ(player.app->keeper.Size(), 1u);

    // Still broken on the next save: the same last good program.
    CaptureFd again(1);
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("colour.frag"), "void main() { nonsense }\n"));
    player.FramesFor(1.5);
    EXPECT_EQ(player.Centre(), kRed);
    EXPECT_EQ(Count(again.Stop(), "DemoApp::Reload()"), 1u);

    ASSERT_TRUE(WriteFileMakingDirs(dir.File("colour.frag"), Colour("0.0, 0.0, 1.0")));
    EXPECT_TRUE(player.FramesUntil(kBlue, 5.0));
    EXPECT_EQ(player.app->keeper.Size(), 0u);  // the new program is the one kept next time
}

TEST(LiveReload, TheReloadKeyBuildsEverythingAnewAndEveryParameterReachesItsNewProgram) {
    TempDir dir;
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("quad.vert"), kQuadVert));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("param.frag"),
                                    "precision mediump float;\nuniform vec3 colour;\n"
                                    "void main() { gl_FragColor = vec4(colour, 1.0); }\n"));
    ASSERT_TRUE(WriteFileMakingDirs(
        dir.File("scripts/init.lua"),
        "local e = Effect:New('resource://quad.vert', 'resource://param.frag')\n"
        "e:SetParam('colour', 0, 1, 0)\n"
        "local p = Part:New(60000)\np:AddPass(Pass:New(Scene:CreateFS(), e))\n"
        "Engine:GetEngine():AddPart(p)\n"));
    Player player({"--content", dir.Path()});
    ASSERT_TRUE(player.Start());
    CaptureFd out(1);
    for (int i = 0; i < 20; ++i) {
        player.Key(SDLK_r, 'r');
        EXPECT_FALSE(player.Frame());
        // New GL objects may reuse the names (and their initializers the
        // addresses) of the ones just released: the value is sent all the same.
        EXPECT_EQ(player.Centre(), kGreen) << "reload " << i;
    }
    EXPECT_EQ(Count(out.Stop(), "DemoApp::Reload()"), 20u);
}

TEST(LiveReload, AChangedStartScriptGivesItsNewTimelineAtTheSameTimeStillPaused) {
    TempDir dir;
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("quad.vert"), kQuadVert));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("red.frag"), Colour("1.0, 0.0, 0.0")));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("green.frag"), Colour("0.0, 1.0, 0.0")));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("blue.frag"), Colour("0.0, 0.0, 1.0")));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("scripts/init.lua"),
                                    Timeline({{2000, "red.frag"}, {8000, "green.frag"}})));
    Player player({"--content", dir.Path(), "--watch"});
    ASSERT_TRUE(player.Start());
    player.Frames(1);
    CaptureFd out(1);
    player.Key(SDLK_RIGHT);
    player.Key(SDLK_RIGHT);
    player.Key(SDLK_RIGHT);  // 20 + 3000 ms
    player.Key(SDLK_SPACE, ' ');
    player.Frames(2);
    ASSERT_EQ(player.Engine()->time, 3020.0f);
    ASSERT_EQ(player.Centre(), kGreen);

    ASSERT_TRUE(WriteFileMakingDirs(dir.File("scripts/init.lua"),
                                    Timeline({{1000, "blue.frag"}, {1500, "red.frag"},
                                              {8000, "blue.frag"}})));
    player.FramesFor(1.5);
    std::string said = out.Stop();
    EXPECT_EQ(Count(said, "DemoApp::Reload(): resource://scripts/init.lua at 3.02 s\n"), 1u) << said;
    Demo::Engine* engine = player.Engine();
    EXPECT_EQ(engine->parts.Size(), 3u);
    EXPECT_TRUE(engine->paused);
    EXPECT_EQ(engine->time, 3020.0f);
    EXPECT_EQ(engine->currentPart, 2u);
    EXPECT_EQ(engine->GetPartTime(), 520.0f);
    EXPECT_EQ(player.Centre(), kBlue);
}

TEST(LiveReload, AScriptThatNowFailsPlaysWhatItBuiltAndTheNextSaveRecovers) {
    TempDir dir;
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("quad.vert"), kQuadVert));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("red.frag"), Colour("1.0, 0.0, 0.0")));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("green.frag"), Colour("0.0, 1.0, 0.0")));
    std::string good = Timeline({{30000, "red.frag"}, {30000, "green.frag"}});
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("scripts/init.lua"), good));
    Player player({"--content", dir.Path(), "--watch"});
    ASSERT_TRUE(player.Start());
    player.Frames(1);
    player.Key(SDLK_UP);  // 10.02 s
    player.Key(SDLK_DOWN);
    player.Key(SDLK_RIGHT);
    player.Key(SDLK_RIGHT);  // 2.02 s
    player.Frames(1);
    ASSERT_EQ(player.Centre(), kRed);

    // A runtime error after the first part: that part plays, at the same time.
    CaptureFd err(2);
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("scripts/init.lua"),
                                    Timeline({{30000, "green.frag"}}) + "Part:New(1):AddPass(nil, 1)\n"));
    player.FramesFor(1.5);
    EXPECT_EQ(player.Engine()->parts.Size(), 1u);
    EXPECT_GT(player.Engine()->time, 2020.0f);
    EXPECT_EQ(player.Centre(), kGreen);

    // Half a save: nothing of it compiles, nothing is drawn, the player waits.
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("scripts/init.lua"), good.substr(0, good.size() / 2)));
    player.FramesFor(1.5);
    EXPECT_EQ(player.Engine()->parts.Size(), 0u);
    EXPECT_FALSE(player.Frame());
    EXPECT_EQ(player.Centre(), kBlack);
    std::string said = err.Stop();
    EXPECT_EQ(Count(said, "ERROR: "), 2u) << said;

    // Deleted and written anew, as some editors save.
    float at = player.Engine()->time;
    ASSERT_EQ(unlink(dir.File("scripts/init.lua").c_str()), 0);
    player.FramesFor(0.3);
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("scripts/init.lua"), good));
    EXPECT_TRUE(player.FramesUntil(kRed, 5.0));
    EXPECT_EQ(player.Engine()->parts.Size(), 2u);
    EXPECT_FALSE(player.Engine()->paused);
    // The empty timeline kept the clock where it was.
    EXPECT_GE(player.Engine()->time, at);
    EXPECT_LT(player.Engine()->time, 30000.0f);
}

TEST(LiveSeek, KeysSeekBySecondsAndStepFramesWhilePausedWithinTheTimeline) {
    TempDir dir;
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("quad.vert"), kQuadVert));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("red.frag"), Colour("1.0, 0.0, 0.0")));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("scripts/init.lua"),
                                    Timeline({{2000, "red.frag"}, {3000, "red.frag"}, {5000, "red.frag"}})));
    Player player({"--content", dir.Path()});  // no --watch: the keys are there all the same
    ASSERT_TRUE(player.Start());
    Demo::Engine* engine = player.Engine();
    struct Step {
        SDLKey key;
        unsigned short unicode;
        float time;
        unsigned int part;
        float partTime;
    };
    player.Frames(1);  // the clock is now at 20 ms
    const Step steps[] = {
        {SDLK_RIGHT, 0, 1020, 0, 1020},   {SDLK_RIGHT, 0, 2020, 1, 20},
        {SDLK_UP, 0, 12020, 3, 2020},     // past the end: over
        {SDLK_DOWN, 0, 2020, 1, 20},      {SDLK_LEFT, 0, 1020, 0, 1020},
        {SDLK_DOWN, 0, 0, 0, 0},          // before 0: at 0
        {SDLK_UP, 0, 10000, 3, 0},        {SDLK_HOME, 0, 0, 0, 0},
        {SDLK_RIGHT, 0, 1000, 0, 1000},   {SDLK_SPACE, ' ', 1000, 0, 1000},
        {SDLK_PERIOD, '.', 1020, 0, 1020}, {SDLK_PERIOD, '.', 1040, 0, 1040},
        {SDLK_COMMA, ',', 1020, 0, 1020},  {SDLK_LEFT, 0, 20, 0, 20},
        {SDLK_COMMA, ',', 0, 0, 0},        {SDLK_COMMA, ',', 0, 0, 0},
        {SDLK_UP, 0, 10000, 3, 0},         {SDLK_COMMA, ',', 9980, 2, 4980},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(std::to_string(int(s.key)) + " to " + std::to_string(s.time));
        player.Key(s.key, s.unicode);
        EXPECT_EQ(engine->time, s.time);
        EXPECT_EQ(engine->currentPart, s.part);
        EXPECT_EQ(engine->GetPartTime(), s.partTime);
    }
    // Playing again: frames no longer step.
    player.Key(SDLK_SPACE, ' ');
    player.Key(SDLK_PERIOD, '.');
    EXPECT_EQ(engine->time, 9980.0f);
    EXPECT_FALSE(player.Frame());
    player.Key(SDLK_RIGHT);  // past the end ends the run as reaching it does
    EXPECT_TRUE(player.Frame());
}

TEST(LiveSeek, WithWatchTheEndOfTheTimelineHoldsPausedInsteadOfEndingTheRun) {
    TempDir dir;
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("quad.vert"), kQuadVert));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("red.frag"), Colour("1.0, 0.0, 0.0")));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("scripts/init.lua"), Timeline({{2000, "red.frag"}})));
    Player player({"--content", dir.Path(), "--watch"});
    ASSERT_TRUE(player.Start());
    player.Frames(1);
    CaptureFd out(1);
    player.Key(SDLK_RIGHT);
    player.Key(SDLK_RIGHT);  // 2020 ms: past the 2 s part
    EXPECT_FALSE(player.Frame());
    EXPECT_FALSE(player.Frame());
    EXPECT_EQ(out.Stop(), "PAUSE 2020.000000 ms\n");
    EXPECT_TRUE(player.Engine()->paused);
    EXPECT_EQ(player.Centre(), kBlack);
    player.Key(SDLK_LEFT);
    EXPECT_FALSE(player.Frame());
    EXPECT_EQ(player.Engine()->GetPartTime(), 1020.0f);
    EXPECT_EQ(player.Centre(), kRed);
    std::string status;
    EXPECT_TRUE(player.app->GetStatus(&status));
    EXPECT_EQ(status, "part 1/1 \xE2\x80\x94 1.02 s");
}

TEST(LiveSeek, ATrackThatCannotSeekPrintsOneLineAndTheDemoGoesOnByTheWallClock) {
    TempDir dir;
    // SDL_mixer streams a WAV file but cannot set its position.
    {
        WavWriter wav;
        ASSERT_TRUE(wav.Open(dir.File("song.wav").c_str(), 44100));
        std::vector<short> silence(44100 * 2, 0);
        for (int second = 0; second < 20; ++second) ASSERT_TRUE(wav.Write(silence.data(), 44100));
        ASSERT_TRUE(wav.Close());
    }
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("quad.vert"), kQuadVert));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("red.frag"), Colour("1.0, 0.0, 0.0")));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("scripts/init.lua"),
                                    "Engine:GetEngine():LoadMusic('file://" + dir.File("song.wav") + "')\n" +
                                        Timeline({{30000, "red.frag"}})));
    Player player({"--content", dir.Path()});
    ASSERT_TRUE(player.Start());
    ASSERT_NE(player.Engine()->player, nullptr) << "the track did not load";
    player.Frames(1);
    CaptureFd out(1);
    player.Key(SDLK_UP);
    std::string said = out.Stop();
    EXPECT_EQ(said.rfind("Mix_SetMusicPosition: ", 0), 0u) << said;
    EXPECT_EQ(Count(said, "\n"), 1u) << said;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(player.Frame());
    // The clock moved to the seek and runs on from there.
    EXPECT_GE(player.Engine()->time, 10200.0f);
    EXPECT_LT(player.Engine()->time, 12000.0f);
}

namespace {

// The demo engine with a recording music player, driven through DemoApp.
class LiveMusic : public ::testing::Test {
protected:
    LiveMusic() : gles(&renderer) {
        platform.files["resource://scripts/init.lua"] =
            "local e = Engine:GetEngine()\ne:LoadMusic('file://song.ogg')\n"
            "local p = Part:New(10000)\ne:AddPart(p)\n";
    }
    testsupport::RecordingRenderer renderer;
    RecordingEngine gles;
    testsupport::DemoPlatform platform;
};

using Log = std::vector<std::string>;

}  // namespace

TEST_F(LiveMusic, TheMusicFollowsSeeksExceptWhilePausedAndIsKeptAcrossReloads) {
    DemoApp* app = static_cast<DemoApp*>(App::CreateApp());
    app->OnInit(64, 48);
    app->OnStart();
    platform.musicTime = 1000;
    EXPECT_FALSE(app->Render());
    app->OnInputMessage({InputMessage::IM_ArrowRight, 0});
    EXPECT_EQ(platform.musicLog, (Log{"LoadStream(file://song.ogg)", "Play", "Stop", "Play(2000)"}));
    platform.musicLog.clear();
    CaptureFd out(1);
    app->OnInputMessage({InputMessage::IM_Key, ' '});
    app->OnInputMessage({InputMessage::IM_ArrowUp, 0});
    app->OnInputMessage({InputMessage::IM_Key, '.'});
    EXPECT_EQ(app->engine->time, 12000.0f + 1000.0f / 60.0f);
    app->OnInputMessage({InputMessage::IM_ArrowDown, 0});
    EXPECT_EQ(platform.musicLog, Log{"Stop"});  // paused: the track waits
    app->OnInputMessage({InputMessage::IM_Key, ' '});
    EXPECT_EQ(platform.musicLog, (Log{"Stop", "Play(2016.67)"}));
    platform.musicLog.clear();

    // A reload keeps the track and seeks it; a changed track file is loaded anew.
    app->Reload({});
    EXPECT_EQ(platform.musicLog, (Log{"Stop", "Play", "Stop", "Play(2016.67)"}));
    platform.musicLog.clear();
    app->engine->time = 3000;
    app->Reload({""});
    EXPECT_EQ(platform.musicLog,
              (Log{"Stop", "Delete", "LoadStream(file://song.ogg)", "Play", "Stop", "Play(3000)"}));
    platform.musicLog.clear();
    // Paused across the reload: started and stopped again at once.
    app->OnInputMessage({InputMessage::IM_Key, ' '});
    app->Reload({});
    EXPECT_TRUE(app->engine->paused);
    EXPECT_EQ(platform.musicLog, (Log{"Stop", "Stop", "Play", "Stop", "Play(3000)", "Stop"}));
    std::string said = out.Stop();
    EXPECT_EQ(Count(said, "DemoApp::Reload()"), 3u) << said;
    delete app;
    EXPECT_EQ(Demo::Engine::instance, nullptr);
    EXPECT_EQ(LuaScriptEngine::instance, nullptr);
}

namespace {

long ResidentKiB() {
    long pages = 0, resident = 0;
    FILE* f = fopen("/proc/self/statm", "r");
    if (!f) return -1;
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = -1;
    fclose(f);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Bytes of the C library's heap in use: what a leak adds to, whatever the
// allocator keeps of what was freed.
long HeapKiB() { return long(mallinfo2().uordblks / 1024); }

struct GLObjects {
    int programs = 0, shaders = 0, textures = 0, buffers = 0, framebuffers = 0, renderbuffers = 0;
    bool operator==(const GLObjects& o) const {
        return programs == o.programs && shaders == o.shaders && textures == o.textures &&
               buffers == o.buffers && framebuffers == o.framebuffers &&
               renderbuffers == o.renderbuffers;
    }
};
std::ostream& operator<<(std::ostream& os, const GLObjects& g) {
    return os << g.programs << " programs, " << g.shaders << " shaders, " << g.textures
              << " textures, " << g.buffers << " buffers, " << g.framebuffers << " framebuffers, "
              << g.renderbuffers << " renderbuffers";
}

// Every live GL object, by asking about each name in turn.
GLObjects CountGLObjects() {
    GLObjects g;
    for (GLuint name = 1; name <= 100000; ++name) {
        g.programs += glIsProgram(name) == GL_TRUE;
        g.shaders += glIsShader(name) == GL_TRUE;
        g.textures += glIsTexture(name) == GL_TRUE;
        g.buffers += glIsBuffer(name) == GL_TRUE;
        g.framebuffers += glIsFramebuffer(name) == GL_TRUE;
        g.renderbuffers += glIsRenderbuffer(name) == GL_TRUE;
    }
    return g;
}

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer holds freed memory back for a while and has a heap of its
// own, so memory figures say nothing there; its leak check at exit covers
// the heap instead.
const int kWarmUp = 4, kReloads = 12;
const bool kMeasureMemory = false;
#else
// The first reloads settle the allocator (and Mesa's caches); from then on
// reloading the demo must cost nothing that stays.
const int kWarmUp = 50, kReloads = 200;
const bool kMeasureMemory = true;
#endif

}  // namespace

TEST(LiveReloadCost, ReloadingTheBundledDemoOverAndOverLeavesMemoryAndGPUObjectsWhereTheyWere) {
    // From the build folder, where the music is; the scene files are the build's.
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(VOMRA_BIN_DIR), 0);
    {
        Player player({"--content", std::string(VOMRA_SOURCE_DIR) + "/content", "--content",
                       "demo-content", "--start", "30000"});
        ASSERT_TRUE(player.Start());
        CaptureFd out(1);
        int reloads = 0;
        // Every fourth reload takes the music as changed, so it is loaded again.
        auto reload = [&player, &reloads]() {
            player.app->Reload(++reloads % 4 ? std::vector<std::string>() : std::vector<std::string>{""});
            return !player.Frame();
        };
        bool drawn = true;
        for (int i = 0; i < kWarmUp; ++i) drawn = reload() && drawn;
        long resident = ResidentKiB(), heap = HeapKiB();
        GLObjects objects = CountGLObjects();
        for (int i = kWarmUp; i < kReloads; ++i) drawn = reload() && drawn;
        long residentGrown = ResidentKiB() - resident, heapGrown = HeapKiB() - heap;
        GLObjects after = CountGLObjects();
        std::string said = out.Stop();
        EXPECT_TRUE(drawn);
        EXPECT_GT(objects.programs, 10);
        // The demo's five targets, its pictures and meshes: the count sees them.
        EXPECT_GT(objects.textures, 5);
        EXPECT_GT(objects.buffers, 10);
        EXPECT_EQ(objects.framebuffers, 5);
        EXPECT_EQ(objects.renderbuffers, 5);
        EXPECT_EQ(after, objects);
        if (kMeasureMemory) {
            // A demo object, target or script state left behind per reload
            // would add far more over the reloads (the script state alone is
            // hundreds of KiB); the driver's own heap moves by about a MiB
            // from run to run, hence the bound of two.
            EXPECT_LT(residentGrown, 3072) << "KiB over " << kReloads - kWarmUp << " reloads";
            EXPECT_LT(heapGrown, 2048) << "KiB over " << kReloads - kWarmUp << " reloads";
        }
        EXPECT_EQ(Count(said, "DemoApp::Reload()"), size_t(kReloads)) << said.substr(0, 2000);
        EXPECT_EQ(said.find("Failed to"), std::string::npos) << said.substr(0, 2000);
        // The demo is at the part it was started at, playing.
        EXPECT_EQ(player.Engine()->currentPart, 3u);
        EXPECT_EQ(player.Engine()->parts.Size(), 6u);
    }
    ASSERT_EQ(chdir(previous), 0);
}

TEST(LiveWindow, TheCaptionShowsPartTimeAndRateAndFollowsTheKeys) {
    TempDir dir;
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("quad.vert"), kQuadVert));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("red.frag"), Colour("1.0, 0.0, 0.0")));
    ASSERT_TRUE(WriteFileMakingDirs(dir.File("scripts/init.lua"),
                                    Timeline({{2000, "red.frag"}, {30000, "red.frag"}})));
    // The real program, keys through the X server; the caption read back after each.
    const char* script =
        "cd \"$1\" || exit 90\n"
        "SDL_AUDIODRIVER=dummy \"$2\" --content \"$1\" $3 --width 160 --height 120 --fps 50 "
        ">out.txt 2>err.txt &\n"
        "pid=$!\n"
        "name() { sleep 0.6; xdotool search --name '^Vomra Demo' getwindowname || echo gone; }\n"
        "key() { xdotool search --sync --name '^Vomra Demo' windowfocus --sync key \"$@\" || exit 91; }\n"
        "for i in $(seq 100); do grep -q 'EGL' out.txt 2>/dev/null && break; sleep 0.1; done\n"
        "sleep 1\n"
        "name\n"
        "key space; name\n"
        "key Right; name\n"
        "key period period comma period; name\n"
        "key Home; name\n"
        "key space; name\n"
        "key space Up Up Up Up\n"
        "if [ -n \"$3\" ]; then name; key Escape; fi\n"
        "wait $pid\n"
        "echo \"status=$?\"\n";
    const std::string dash = " \xE2\x80\x94 ";
    const std::regex playing("^Vomra Demo" + dash + "part 1/2" + dash + "[0-9]\\.[0-9]{2} s" + dash +
                             "[0-9]+\\.[0-9] fps$");
    const std::regex paused("^Vomra Demo" + dash + "part ([12])/2" + dash + "([0-9]+\\.[0-9]{2}) s" +
                            dash + "[0-9]+\\.[0-9] fps$");
    for (bool watch : {true, false}) {
        SCOPED_TRACE(watch ? "with --watch" : "without --watch");
        CommandResult run = testsupport::Run({"/bin/bash", "-c", script, "bash", dir.Path(),
                                              BinaryPath("vomra"), watch ? "--watch" : ""},
                                             60);
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        ASSERT_NE(run.out.find("status=0"), std::string::npos) << run.out << run.err;
        std::vector<std::string> captions;
        size_t start = 0;
        for (size_t end; (end = run.out.find('\n', start)) != std::string::npos; start = end + 1)
            captions.push_back(run.out.substr(start, end - start));
        ASSERT_EQ(captions.size(), watch ? 8u : 7u) << run.out;
        // Playing: the status only while watching.
        if (watch) {
            EXPECT_TRUE(std::regex_match(captions[0], playing)) << captions[0];
        } else {
            EXPECT_EQ(captions[0], "Vomra Demo");
        }
        // Paused: the time stands, and every key moves it by exactly its step.
        std::smatch m;
        ASSERT_TRUE(std::regex_match(captions[1], m, paused)) << captions[1];
        double t = std::stod(m[2]);
        const std::vector<std::pair<double, std::string>> want = {
            {t + 1.0, t + 1.0 < 2.0 ? "1" : "2"}, {t + 1.04, t + 1.04 < 2.0 ? "1" : "2"}, {0.0, "1"}};
        for (size_t i = 0; i < want.size(); ++i) {
            ASSERT_TRUE(std::regex_match(captions[2 + i], m, paused)) << captions[2 + i];
            EXPECT_NEAR(std::stod(m[2]), want[i].first, 0.006) << captions[2 + i];
            EXPECT_EQ(m[1].str(), want[i].second) << captions[2 + i];
        }
        if (watch) {
            EXPECT_TRUE(std::regex_match(captions[5], playing)) << captions[5];
            // Past the end: held there, paused, instead of ending.
            ASSERT_TRUE(std::regex_match(captions[6], m, paused)) << captions[6];
            EXPECT_EQ(m[1].str(), "2");
            EXPECT_GT(std::stod(m[2]), 40.0);
        } else {
            // Playing again: the name alone; past the end ended the run by itself.
            EXPECT_EQ(captions[5], "Vomra Demo");
        }
        std::string err = testsupport::ReadFile(dir.File("err.txt"));
        EXPECT_EQ(err.find("ERROR"), std::string::npos) << err;
    }
}
