// The player against content that used to freeze, crash or hang it: music that
// cannot play or ends early, shader mistakes, endless scripts stopped by
// signals, and names of files that are not regular files. Every run has a time
// limit, so a regression fails instead of hanging the suite.
#include "support/Png.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace testsupport;

namespace {

// The first occurrence of an option wins: those given come first.
CommandResult Capture(const TempDir& dir, const std::string& archive, int frames,
                      std::vector<std::string> more = {}) {
    more.insert(more.begin(), BinaryPath("vomra"));
    more.insert(more.end(), {"--archive", archive, "--capture", dir.File("frames"), "--frames",
                             std::to_string(frames), "--width", "64", "--height", "48", "--fps", "10"});
    return testsupport::Run(more, 60);
}

bool FrameIsBlack(const TempDir& dir, int i) {
    RgbImage image;
    if (!ReadPng(dir.File("frames/" + FrameName(i)), &image)) return false;
    for (unsigned char c : image.rgb)
        if (c != 0) return false;
    return true;
}

}  // namespace

// A windowed run of a 3 s timeline ends by itself in about 3 s whether the music
// cannot be played (no device, no file) or ends after 1 s: the clock never stops.
TEST(MusicClock, DemoReachesItsEndWithoutPlayableOrLongEnoughMusic) {
    TempDir dir;
    ASSERT_EQ(MakeSilentOgg(dir.File("one second.ogg"), 1.0), "");
    struct Case {
        const char* name;
        const char* driver;
        std::string music;
        const char* expectErr;
    };
    const Case cases[] = {
        {"no audio device", "vomra-no-such-driver", "one%20second.ogg", "Couldn't open audio"},
        {"missing music file", "dummy", "absent.ogg", "Couldn't load"},
        {"1 s track under a 3 s timeline", "dummy", "one%20second.ogg", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string load = "Engine:GetEngine():LoadMusic('file://" + dir.Path() + "/" + c.music + "')\n";
        std::string init = OnePartScript("resource://q.vert", "resource://w.frag", 3000, load);
        std::string archive =
            PackDemo(dir, {{"scripts/init.lua", init}, {"q.vert", kScreenQuadVert}, {"w.frag", kWhiteFrag}});
        CommandResult run = testsupport::Run({"/usr/bin/env", std::string("SDL_AUDIODRIVER=") + c.driver,
                                              BinaryPath("vomra"), "--archive", archive, "--width", "64",
                                              "--height", "48", "--fps", "30"},
                                             30);
        ASSERT_FALSE(run.timedOut) << run.out << run.err;
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        // 90 frames at 30 fps, plus start-up; a stopped clock would never end.
        EXPECT_GE(run.seconds, 2.9);
        EXPECT_LT(run.seconds, 12.0);
        if (c.expectErr)
            EXPECT_NE(run.err.find(c.expectErr), std::string::npos) << run.err;
        else
            EXPECT_EQ(run.err.find("Couldn't"), std::string::npos) << run.err;
    }
}

// Each mistake is reported with the driver's log and the shader URLs, the pass
// draws nothing, and the player carries on. Every case runs twice so the second
// run meets the driver's shader cache warm (a failed program linked with a
// warm cache used to crash inside the driver).
TEST(ShaderMistakes, ReportedWithTheirUrlsAndNeverFatal) {
    struct Case {
        const char* name;
        std::string vert, frag;  // file contents of q.vert and f.frag
        bool swap;               // the script names f.frag as the vertex shader
        const char* expectOut;
    };
    std::string binary("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe\x00\x80", 15);
    const char* readsUnwrittenVarying =
        "precision mediump float;\nvarying vec3 nowhere;\nvoid main() { gl_FragColor = vec4(nowhere, 1.0); }\n";
    const char* noAttributes = "void main() { gl_Position = vec4(0.0, 0.0, 2.0, 1.0); }\n";
    const Case cases[] = {
        {"swapped URLs", kScreenQuadVert, kWhiteFrag, true, "Failed to compile fragment shader:"},
        {"empty fragment shader", kScreenQuadVert, "", false, "Failed to compile fragment shader:"},
        {"binary fragment shader", kScreenQuadVert, binary, false, "Failed to compile fragment shader:"},
        {"compiles but does not link", kScreenQuadVert, readsUnwrittenVarying, false, "Failed to link program:"},
        {"no attribute names", noAttributes, kWhiteFrag, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string vertUrl = "resource://q.vert", fragUrl = "resource://f.frag";
        if (c.swap) std::swap(vertUrl, fragUrl);
        std::string archive = PackDemo(dir, {{"scripts/init.lua", OnePartScript(vertUrl, fragUrl, 1000)},
                                             {"q.vert", c.vert},
                                             {"f.frag", c.frag}});
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            CommandResult run = Capture(dir, archive, 2);
            ASSERT_FALSE(run.timedOut);
            EXPECT_EQ(run.signal, 0);
            EXPECT_EQ(run.exitCode, 0) << run.err;
            if (c.expectOut) {
                EXPECT_NE(run.out.find(c.expectOut), std::string::npos) << run.out;
                EXPECT_NE(run.out.find("program of " + vertUrl + " and " + fragUrl + " not built"),
                          std::string::npos)
                    << run.out;
            }
            EXPECT_TRUE(FrameIsBlack(dir, 0));
            EXPECT_TRUE(FrameIsBlack(dir, 1));
        }
    }
}

// A start script that never returns: the first SIGINT is not taken by the main
// loop (it is not running yet), so the process ends 2 s later with status 130;
// two SIGTERMs end it at once with 143. A running demo ends normally on SIGINT.
TEST(QuitSignals, EndlessScriptIsEndedAndARunningDemoQuitsCleanly) {
    TempDir dir;
    std::string endless = PackDemo(dir, {{"scripts/init.lua", "while true do end\n"}});
    struct Case {
        std::vector<int> signals;
        int status;
        double atLeast, atMost;  // seconds from the first signal to the end
    };
    const Case cases[] = {{{SIGINT}, 130, 1.8, 6.0}, {{SIGTERM, SIGTERM}, 143, 0.0, 1.5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        pid_t pid = fork();
        if (pid == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(BinaryPath("vomra").c_str(), "vomra", "--archive", endless.c_str(), "--width", "64",
                  "--height", "48", (char*)nullptr);
            _exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        auto first = std::chrono::steady_clock::now();
        for (int sig : c.signals) {
            kill(pid, sig);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        int status = 0;
        bool ended = false;
        for (int i = 0; i < 1000 && !ended; ++i) {
            ended = waitpid(pid, &status, WNOHANG) == pid;
            if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - first).count();
        if (!ended) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        ASSERT_TRUE(ended);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.status);
        EXPECT_GE(seconds, c.atLeast);
        EXPECT_LE(seconds, c.atMost);
    }

    // Running: the main loop takes the signal and shuts down in order.
    std::string init = OnePartScript("resource://q.vert", "resource://w.frag", 60000);
    std::string archive =
        PackDemo(dir, {{"scripts/init.lua", init}, {"q.vert", kScreenQuadVert}, {"w.frag", kWhiteFrag}});
    std::string script = "\"$1\" --archive \"$2\" --width 64 --height 48 >/dev/null 2>&1 &\n"
                         "pid=$!\nsleep 2\nkill -INT $pid\nwait $pid\necho \"status=$?\"\n";
    CommandResult run = testsupport::Run({"/bin/bash", "-c", script, "bash", BinaryPath("vomra"), archive}, 30);
    EXPECT_NE(run.out.find("status=0"), std::string::npos) << run.out << run.err;
}

// A FIFO, a device or a folder named by a script, shader, scene, image or
// archive is refused with a message instead of blocking in open or reading for ever.
TEST(NonRegularFiles, AreRefusedWhereverTheyAreNamed) {
    TempDir dir;
    std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (std::string path : {fifo, std::string("/dev/zero"), dir.Path()}) {
        SCOPED_TRACE(path);
        std::string url = "file://" + path;
        std::string init = "local engine = Engine:GetEngine()\n"
                           "engine:LoadScript('" + url + "')\n"
                           "engine:LoadScene('" + url + "')\n"
                           "engine:LoadImage('" + url + "')\n" +
                           OnePartScript("resource://q.vert", url, 1000);
        std::string archive = PackDemo(dir, {{"scripts/init.lua", init}, {"q.vert", kScreenQuadVert}});
        CommandResult run = Capture(dir, archive, 2);
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::string refused = "SDLFileSource::SDLFileSource(): " + path + " is not a regular file\n";
        size_t count = 0;
        for (size_t at = run.out.find(refused); at != std::string::npos; at = run.out.find(refused, at + 1))
            ++count;
        EXPECT_EQ(count, 4u) << run.out;  // script, scene, image, shader

        CommandResult asArchive = Capture(dir, archive, 1, {"--archive", path});
        ASSERT_FALSE(asArchive.timedOut);
        EXPECT_NE(asArchive.out.find("Warning: can't open " + path), std::string::npos) << asArchive.out;
    }
}

// The screen has the depth buffer the application asks for, in a window and
// headless alike: a near red quad drawn before a far green one stays in front.
TEST(ScreenDepth, ScenesDrawnToTheScreenAreDepthTested) {
    TempDir dir;
    const char* depthVert =
        "attribute vec4 Vomra_va_Location;\nuniform float z;\n"
        "void main() { gl_Position = vec4(Vomra_va_Location.xy * 2.0 - 1.0, z, 1.0); }\n";
    const char* colourFrag =
        "precision mediump float;\nuniform vec3 colour;\nvoid main() { gl_FragColor = vec4(colour, 1.0); }\n";
    const char* init =
        "local near = Effect:New('resource://d.vert', 'resource://c.frag')\n"
        "near:SetParam('z', -0.5)\nnear:SetParam('colour', 1, 0, 0)\n"
        "local far = Effect:New('resource://d.vert', 'resource://c.frag')\n"
        "far:SetParam('z', 0.5)\nfar:SetParam('colour', 0, 1, 0)\n"
        "local scene = Scene:CreateFS()\nscene:SetDepthTestEnabled(true)\n"
        "local behind = Scene:CreateFS():GetRoot()\nbehind:SetEffect(far)\n"
        "scene:GetRoot():Attach(behind)\n"
        "local p = Part:New(1000)\np:AddPass(Pass:New(scene, near, Target:Screen()))\n"
        "Engine:GetEngine():AddPart(p)\n";
    std::string archive =
        PackDemo(dir, {{"scripts/init.lua", init}, {"d.vert", depthVert}, {"c.frag", colourFrag}});
    for (const char* mode : {"--window", "--headless"}) {
        SCOPED_TRACE(mode);
        CommandResult run = Capture(dir, archive, 1, {mode});
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        RgbImage frame;
        ASSERT_TRUE(ReadPng(dir.File("frames/frame-000000.png"), &frame));
        const unsigned char* p = frame.At(32, 24);
        EXPECT_EQ(p[0], 255);
        EXPECT_EQ(p[1], 0);
    }
}

// An endless start script is aborted at the time limit like any script error,
// and the demo plays what it built before.
TEST(ScriptTimeLimit, EndlessStartScriptIsAbortedAndWhatItBuiltPlays) {
    TempDir dir;
    std::string archive =
        PackDemo(dir, {{"scripts/init.lua",
                        OnePartScript("resource://q.vert", "resource://w.frag", 1000) + "while true do end\n"},
                       {"q.vert", kScreenQuadVert},
                       {"w.frag", kWhiteFrag}});
    CommandResult run = Capture(dir, archive, 2, {"--script-time-limit", "1"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("ERROR: script ran longer than the 1 s limit\n"), std::string::npos) << run.err;
    EXPECT_GE(run.seconds, 1.0);
    RgbImage frame;
    ASSERT_TRUE(ReadPng(dir.File("frames/frame-000001.png"), &frame));
    EXPECT_EQ(frame.At(32, 24)[0], 255);
}

// Every hostile input the suite keeps, played by the player itself (the
// fuzzers' renderer only records): scene files drawn by a one-part demo,
// scripts as the start script. Each ends by itself, quickly and within 1 GB;
// the GPU's copies per mesh once took a 1 KB file to 15 GB.
TEST(HostileInputs, PlayToTheEndQuicklyAndInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    const long kPeakKb = 3L << 20;  // the sanitizer's shadow and quarantine
#else
    const long kPeakKb = 1L << 20;
#endif
    const std::string kept = VOMRA_FUZZ_REGRESSIONS;
    std::vector<std::pair<std::string, std::string>> runs;  // (input, start script)
    for (const std::string& name : FolderEntries(kept + "/m3g"))
        runs.push_back({"m3g/" + name,
                        OnePartScript("resource://q.vert", "resource://w.frag", 1000,
                                      "local s = Engine:GetEngine():LoadScene('resource://x.m3g')\n") +
                            "p:AddPass(Pass:New(s, e, Target:Screen()))\n"});
    for (const std::string& name : FolderEntries(kept + "/script"))
        runs.push_back({"script/" + name, ReadFile(kept + "/script/" + name)});
    ASSERT_GT(runs.size(), 20u);
    for (const auto& r : runs) {
        SCOPED_TRACE(r.first);
        TempDir dir;
        std::string scene = r.first.compare(0, 4, "m3g/") == 0 ? ReadFile(kept + "/" + r.first) : "";
        std::string archive = PackDemo(dir, {{"scripts/init.lua", r.second},
                                             {"x.m3g", scene},
                                             {"q.vert", kScreenQuadVert},
                                             {"w.frag", kWhiteFrag}});
        CommandResult run = Capture(dir, archive, 3, {"--script-time-limit", "2"});
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_LT(run.seconds, 10.0);
        EXPECT_LT(run.peakKb, kPeakKb);
    }
}
