// vomra --check: a clean package, a package with one of every problem (each
// listed with its origin, the count, the status), frames only with --capture,
// and the bundled demo.
#include "support/M3GBuilder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testsupport;

namespace {

// The check run with no display, from `cwd`.
CommandResult Check(const std::string& cwd, const std::string& archive, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"/usr/bin/env", "-u", "DISPLAY", "-C", cwd, BinaryPath("vomra"), "--check",
                                     "--width", "64", "--height", "48"};
    if (!archive.empty()) args.insert(args.end(), {"--archive", archive});
    args.insert(args.end(), more.begin(), more.end());
    return Run(args, 60);
}

std::string Str(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A World with no child, no camera and no background.
std::vector<unsigned char> WorldWithoutCamera() { return SceneFile({Record(22, World(0, {}))}); }

}  // namespace

TEST(CheckClean, NoProblemsStatusZeroAndNoFrames) {
    TempDir dir, cwd;
    std::string archive =
        PackDemo(dir, {{"scripts/init.lua", OnePartScript("resource://q.vert", "resource://w.frag", 1000)},
                       {"q.vert", kScreenQuadVert},
                       {"w.frag", kWhiteFrag}});
    CommandResult run = Check(cwd.Path(), archive);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("\nvomra --check: 0 problems\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - 26), "vomra --check: 0 problems\n");
    EXPECT_TRUE(FolderEntries(cwd.Path()).empty());  // nothing written without --capture

    // With --capture, the three frames of each part it drew, and nothing else.
    CommandResult captured = Check(cwd.Path(), archive, {"--capture", dir.File("shots")});
    EXPECT_EQ(captured.exitCode, 0) << captured.err;
    EXPECT_EQ(FolderEntries(dir.File("shots")),
              (std::vector<std::string>{"check-part01-end.png", "check-part01-middle.png",
                                        "check-part01-start.png"}));
}

TEST(CheckProblems, EachIsListedWithItsOriginAndCounted) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.File("noise.ogg"), std::string(3000, 'n')));
    std::vector<unsigned char> truncated = WorldWithoutCamera();
    truncated.resize(truncated.size() - 9);
    std::string init =
        "local engine = Engine:GetEngine()\n"                                          // 1
        "engine:LoadScript('resource://scripts/runtime.lua')\n"                       // 2
        "engine:LoadScript('resource://scripts/syntax.lua')\n"                        // 3
        "local missing = engine:LoadImage('resource://images/missing.png')\n"         // 4
        "local garbled = engine:LoadImage('resource://images/garbled.png')\n"         // 5
        "local gone = Effect:New('resource://q.vert', 'resource://gone.frag')\n"      // 6
        "local bad = Effect:New('resource://q.vert', 'resource://bad.frag')\n"        // 7
        "local cut = engine:LoadScene('resource://scenes/cut.m3g')\n"                 // 8
        "local far = engine:LoadScene('resource://scenes/xref.m3g')\n"                // 9
        "local blind = engine:LoadScene('resource://scenes/nocamera.m3g')\n"          // 10
        "engine:LoadMusic('file://" + dir.File("noise.ogg") + "')\n"                 // 11
        "local white = Effect:New('resource://q.vert', 'resource://w.frag')\n"
        "local p = Part:New(1000)\n"
        "p:AddPass(Pass:New(Scene:CreateFS(), white, Target:Screen()))\n"
        "p:AddPass(Pass:New(blind, white, Target:Screen()))\n"
        "engine:AddPart(p)\n"
        "engine:AddPart(Part:New(500, 500))\n";
    std::string archive = PackDemo(
        dir, {{"scripts/init.lua", init},
              {"scripts/runtime.lua", "-- fails on its third line\nlocal x = nil\nlocal y = x.field\n"},
              {"scripts/syntax.lua", "local a = 1\nlocal = 2\n"},
              {"images/garbled.png", "not a picture at all"},
              {"q.vert", kScreenQuadVert},
              {"w.frag", kWhiteFrag},
              {"bad.frag", "precision mediump float;\nvoid main() { gl_FragColor = vec4(undeclared); }\n"},
              {"scenes/cut.m3g", Str(truncated)},
              {"scenes/xref.m3g",
               Str(SceneFile({Record(255, Bytes().Text("elsewhere.m3g")), Record(22, World(0, {}))}))},
              {"scenes/nocamera.m3g", Str(WorldWithoutCamera())}});
    CommandResult run = Check(dir.Path(), archive);
    EXPECT_EQ(run.exitCode, 1);
    const std::string p = "vomra --check: ";
    const char* expected[] = {
        "resource://scripts/runtime.lua:3: script error: [string \"-- fails on its third line...\"]:3: attempt to index local 'x' (a nil value)\n",
        "resource://scripts/syntax.lua:2: script error: [string \"local a = 1...\"]:2: '<name>' expected near '='\n",
        "resource://images/missing.png: missing resource, asked for at resource://scripts/init.lua:4\n",
        "resource://images/garbled.png: image not loaded: SDLImageLoader::Load(): ",
        "resource://gone.frag: missing resource, asked for at resource://scripts/init.lua:6\n",
        "program of resource://q.vert and resource://bad.frag: not built:\n    Failed to compile fragment shader:\n",
        "resource://scenes/cut.m3g: scene file: M3GLoader::Load(): ",
        "resource://scenes/xref.m3g: external reference elsewhere.m3g is not loaded\n",
        "part 2 of the timeline: length 0 ms (start 500, end 500): it is never shown\n",
        "resource://scenes/nocamera.m3g: part 1 of the timeline, pass 2: draws a scene whose World has no camera\n",
    };
    for (const char* line : expected) EXPECT_NE(run.out.find(p + line), std::string::npos) << line << "\n" << run.out;
    EXPECT_NE(run.out.find(p + "file://" + dir.File("noise.ogg") + ": music: " + dir.File("noise.ogg") +
                           ": neither Ogg Vorbis nor WAV\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - 27), "vomra --check: 11 problems\n") << run.out;
    // The player's own messages keep their text.
    EXPECT_NE(run.err.find("ERROR: [string \"-- fails on its third line...\"]:3: attempt to index local 'x'"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("GLES2ProgramInitializer::Init(): program of resource://q.vert and "
                           "resource://bad.frag not built, its passes draw nothing\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("ExternalReference::ExternalReference() -> elsewhere.m3g\n"), std::string::npos);
    EXPECT_TRUE(FolderEntries(dir.Path()) == (std::vector<std::string>{"d.res", "demo", "noise.ogg"}));
}

TEST(CheckProblems, MissingStartScriptIsOneProblem) {
    TempDir dir;
    CommandResult run = Check(dir.Path(), dir.File("absent.res"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("vomra --check: resource://scripts/init.lua: missing resource\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - 26), "vomra --check: 1 problems\n");
}

TEST(CheckBundledDemo, HasNoProblems) {
    CommandResult run = testsupport::Run(
        {"/usr/bin/env", "-u", "DISPLAY", "-C", VOMRA_BIN_DIR, BinaryPath("vomra"), "--check"}, 120);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out.substr(run.out.size() - 26), "vomra --check: 0 problems\n") << run.out;
}
