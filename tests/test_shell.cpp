// The SDL/EGL shell: command-line options, the application lifecycle it drives,
// events, frame pacing, and start-up failures. Needs an X display. (Captures:
// the player tests.)
#include "app/SDLApp.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <GLES2/gl2.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;
int g_stopAtFrame = -1;      // OnRender returns true on this frame (0-based)
int g_escapeAtFrame = -1;    // frame on which a real Escape key is sent to the display
int g_renders = 0;

class LogApp : public App {
public:
    LogApp() { g_log.push_back("construct"); }
    ~LogApp() override { g_log.push_back("destroy"); }
    bool OnInit(unsigned int w, unsigned int h) override {
        g_log.push_back("OnInit " + std::to_string(w) + "x" + std::to_string(h));
        return initResult;
    }
    void OnDeinit() override { g_log.push_back("OnDeinit"); }
    void OnSetSize(unsigned int, unsigned int) override {}
    void OnSetFPS(unsigned int fps) override { g_log.push_back("OnSetFPS " + std::to_string(fps)); }
    float OnStart() override {
        g_log.push_back("OnStart");
        return 0.0f;
    }
    bool OnInputMessage(const InputMessage& msg) override {
        g_log.push_back("Input " + std::to_string(msg.type) + " " + std::to_string(msg.key));
        return false;
    }
    bool OnSystemMessage(SystemMessageCode code, SystemObject*) override {
        g_log.push_back("System " + std::to_string(int(code)));
        return false;
    }
    void OnRunOptions(const RunOptions& o) override {
        g_log.push_back(std::string("Options ") + (o.hasStartTime ? std::to_string(int(o.startTime)) : "-") +
                        (o.offline ? " offline" : ""));
    }
    bool OnRender() override {
        int frame = g_renders++;
        glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        if (frame == g_escapeAtFrame) {
            // A real key press through the X server, as a user would make it.
            int rc = system("xdotool search --name '^Shell Test$' windowfocus --sync key Escape");
            if (rc != 0) g_log.push_back("xdotool failed");
        }
        if (frame == g_stopAtFrame) {
            g_log.push_back("Render stop");
            return true;
        }
        return false;
    }
    static bool initResult;
};
bool LogApp::initResult = true;

App* CreateLogApp() { return new LogApp(); }

const App::Info kInfo("Shell Test", false, 320, 240, 24, 8, 16, 4, 0, nullptr);

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

class ShellRun : public ::testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        g_stopAtFrame = -1;
        g_escapeAtFrame = -1;
        g_renders = 0;
        LogApp::initResult = true;
    }
};
using ShellPacing = ShellRun;

}  // namespace

// The first exact match; a value option given last takes its own text.
TEST(ShellOptions, GetOptionFindsTheFirstExactMatch) {
    Args args({"--width", "100", "--widthx", "5", "--width", "200", "--fullscreen", "--height"});
    SDLApp app(args.argc(), args.argv(), CreateLogApp, kInfo);
    EXPECT_STREQ(app.GetOption("--width", true), "100");
    EXPECT_STREQ(app.GetOption("--fullscreen", false), "--fullscreen");
    EXPECT_STREQ(app.GetOption("--width", false), "--width");
    EXPECT_STREQ(app.GetOption("--height", true), "--height");
    EXPECT_EQ(app.GetOption("--depth", true), nullptr);
    EXPECT_EQ(app.GetOption("vomra", false), nullptr);  // argv[0] is not an option
}

// Defaults from the application info; the command line overrides them
// (--fullscreen wins over --window). Run options come before OnInit, the
// rate after it.
TEST_F(ShellRun, SizeRateAndFullscreenFromTheInfoOrTheCommandLine) {
    const struct {
        std::vector<std::string> args;
        unsigned int width, height, fps;
        bool fullscreen;
        std::vector<std::string> log;
    } rows[] = {
        {{}, 320, 240, 0, false, {"construct", "Options -", "OnInit 320x240", "OnSetFPS 0"}},
        {{"--fps", "30", "--width", "160", "--height", "120", "--window", "--fullscreen", "--start", "2500"},
         160, 120, 30, true, {"construct", "Options 2500", "OnInit 160x120", "OnSetFPS 30"}},
    };
    for (const auto& row : rows) {
        g_log.clear();
        Args args(row.args);
        SDLApp app(args.argc(), args.argv(), CreateLogApp, kInfo);
        ASSERT_TRUE(app.Initialize()) << SDL_GetError();
        EXPECT_EQ(std::vector<unsigned>({app.GetWidth(), app.GetHeight(), app.GetFPS()}),
                  std::vector<unsigned>({row.width, row.height, row.fps}));
        EXPECT_EQ(app.IsFullscreen(), row.fullscreen);
        EXPECT_EQ(g_log, row.log);
    }
}

// Also when it stops on its first frame, the application starts once.
TEST_F(ShellRun, EndsWhenRenderReturnsTrueWithStartOnceAndShutdownInOrder) {
    for (int stop : {2, 0}) {
        SetUp();
        Args args({});
        g_stopAtFrame = stop;
        SDLApp app(args.argc(), args.argv(), CreateLogApp, kInfo);
        EXPECT_EQ(app.Run(), 0);
        EXPECT_EQ(g_log, (std::vector<std::string>{"construct", "Options -", "OnInit 320x240", "OnSetFPS 0",
                                                   "OnStart", "Render stop", "System 1", "OnDeinit", "destroy"}));
        EXPECT_EQ(g_renders, stop + 1);
        EXPECT_EQ(app.GetApp(), nullptr);
    }
}

TEST_F(ShellRun, EscapeFromTheDisplayEndsTheLoopWithoutAnotherFrame) {
    Args args({"--frames", "2000"});
    g_escapeAtFrame = 3;
    SDLApp app(args.argc(), args.argv(), CreateLogApp, kInfo);
    EXPECT_EQ(app.Run(), 0);
    ASSERT_GE(g_log.size(), 3u);
    // Escape sends no input message, and the quit sequence follows at once.
    for (const std::string& line : g_log) EXPECT_EQ(line.find("Input"), std::string::npos) << line;
    std::vector<std::string> tail(g_log.end() - 3, g_log.end());
    std::vector<std::string> want = {"System 1", "OnDeinit", "destroy"};
    EXPECT_EQ(tail, want);
    EXPECT_LT(g_renders, 2000);
    EXPECT_GE(g_renders, 4);
}

TEST_F(ShellRun, KeysBecomeInputMessagesAndUserEventsSystemMessages) {
    Args args({});
    SDLApp app(args.argc(), args.argv(), CreateLogApp, kInfo);
    ASSERT_TRUE(app.Initialize()) << SDL_GetError();
    SDL_Event e;
    memset(&e, 0, sizeof e);
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_LEFT;
    e.key.keysym.unicode = 0;
    app.HandleEvent(&e);
    e.key.keysym.sym = SDLK_SPACE;
    e.key.keysym.unicode = ' ';
    app.HandleEvent(&e);
    e.key.keysym.sym = SDLK_F1;  // no Unicode translation
    e.key.keysym.unicode = 0;
    app.HandleEvent(&e);
    e.type = SDL_KEYUP;
    app.HandleEvent(&e);
    memset(&e, 0, sizeof e);
    e.type = SDL_USEREVENT;
    e.user.code = App::SystemTimerExpired;
    e.user.data2 = app.GetApp();
    app.HandleEvent(&e);
    std::vector<std::string> tail(g_log.begin() + 4, g_log.end());
    std::vector<std::string> want = {"Input 3 0", "Input 5 32", "Input 5 0", "System 2"};
    EXPECT_EQ(tail, want);
}

TEST_F(ShellRun, WithoutTheRequestedSamplesMultisamplingIsDroppedWithAWarning) {
    const App::Info manySamples("Shell Test", false, 320, 240, 24, 8, 16, 64, 0, nullptr);
    Args args({});
    SDLApp app(args.argc(), args.argv(), CreateLogApp, manySamples);
    testsupport::CaptureFd err(2);
    bool ok = app.Initialize();
    std::string text = err.Stop();
    EXPECT_TRUE(ok) << text;
    EXPECT_NE(text.find("Warning: no EGL config with 64 samples, multisampling is off\n"), std::string::npos)
        << text;
}

TEST_F(ShellRun, AnApplicationThatFailsToInitializeIsDeletedAndReported) {
    Args args({});
    LogApp::initResult = false;
    SDLApp app(args.argc(), args.argv(), CreateLogApp, kInfo);
    testsupport::CaptureFd err(2);
    EXPECT_FALSE(app.Initialize());
    std::string text = err.Stop();
    EXPECT_NE(text.find("Can't initialize application\n"), std::string::npos);
    std::vector<std::string> want = {"construct", "Options -", "OnInit 320x240", "OnDeinit", "destroy"};
    EXPECT_EQ(g_log, want);
    EXPECT_EQ(app.GetApp(), nullptr);
}

TEST(ShellFailure, NoDisplayEndsWithStatusOneAndAMessage) {
    const char* display = getenv("DISPLAY");
    std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    testsupport::CommandResult r = testsupport::Run({testsupport::BinaryPath("vomra")});
    if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("App init failed: "), std::string::npos) << r.err;
}

TEST_F(ShellPacing, RateReportComesAfterMoreThanFiveSecondsWithTheFrameRate) {
    Args args({});
    SDLApp app(args.argc(), args.argv(), CreateLogApp, kInfo);
    // Ticks far apart: the pacing never has to wait, only the report is seen.
    testsupport::CaptureFd err(2);
    for (unsigned int now = 1000; now <= 5000; now += 1000) app.Update(now);
    std::string quiet = err.Stop();
    EXPECT_EQ(quiet, "");  // 5000 ms is not yet more than 5000
    testsupport::CaptureFd err2(2);
    app.Update(5001);  // six frames over 5001 ms
    for (unsigned int now = 7000; now <= 10000; now += 1000) app.Update(now);
    app.Update(10002);  // five frames over the 5001 ms since the first report
    EXPECT_EQ(err2.Stop(), "1.20 fps\n1.00 fps\n");
}

namespace {

// Milliseconds one Update takes.
double TimedUpdate(SDLApp* app, unsigned int now) {
    auto start = std::chrono::steady_clock::now();
    app->Update(now);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

// Frame n of a pacing window is due n x 1000 / fps ms after the window
// began; a window that ran past a second starts again at that frame, and a
// second exactly is not past it.
TEST_F(ShellPacing, WaitsForEachFramesPlaceInItsWindow) {
    Args args({"--fps", "10"});  // 100 ms a frame
    SDLApp app(args.argc(), args.argv(), CreateLogApp, kInfo);
    ASSERT_TRUE(app.Initialize()) << SDL_GetError();
    const struct {
        unsigned int now;  // ticks the loop read, from the window's start at 0
        double wait;
    } frames[] = {{0, 100}, {150, 50}, {400, 0}, {1001, 0}, {1001, 200}, {2001, 0}, {2001, 0}};
    for (const auto& f : frames) {
        double ms = TimedUpdate(&app, f.now);
        EXPECT_GE(ms, f.wait - 1) << f.now;
        EXPECT_LT(ms, f.wait + 45) << f.now;
    }
}

TEST_F(ShellPacing, FpsZeroDrawsUnpacedAndStillReportsTheRate) {
    const App::Info paced("Shell Test", false, 320, 240, 24, 8, 16, 0, 60, nullptr);
    Args args({"--fps", "0"});
    SDLApp app(args.argc(), args.argv(), CreateLogApp, paced);
    ASSERT_TRUE(app.Initialize()) << SDL_GetError();
    EXPECT_EQ(app.GetFPS(), 0u);
    testsupport::CaptureFd err(2);
    double ms = 0;
    for (int i = 0; i < 100; ++i) ms += TimedUpdate(&app, 0);  // 1.6 s if paced at 60
    ms += TimedUpdate(&app, 5001);
    EXPECT_EQ(err.Stop(), "20.20 fps\n");  // 101 frames in 5001 ms
    EXPECT_LT(ms, 100.0);
}

