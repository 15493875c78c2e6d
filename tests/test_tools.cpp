// The command-line programs as a user meets them: --help and -h, refused
// options and argument counts, names that begin with '-'; and m3g-info's
// report of scene files built byte by byte here, as text and as JSON.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/M3GBuilder.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

using File = std::vector<unsigned char>;

// m3g-info's JSON is read by a strict parser: one RFC 8259 value, valid UTF-8,
// nothing after it.
using Json = nlohmann::json;

// ------------------------------------------------------------ running the programs

const char* const kPrograms[] = {"vomra", "vomra-pack", "m3g-info", "m3g-scene", "vomra-tune"};

CommandResult RunTool(const std::string& name, std::vector<std::string> args) {
    args.insert(args.begin(), BinaryPath(name));
    return testsupport::Run(args);
}

// Runs a program with the given folder as the current one.
CommandResult RunIn(const std::string& dir, const std::string& name, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/bin/sh", "-c", "cd \"$1\" && shift && exec \"$@\"",
                                     "sh",      dir,  BinaryPath(name)};
    argv.insert(argv.end(), args.begin(), args.end());
    return testsupport::Run(argv);
}

std::string FirstLine(const std::string& s) {
    return s.substr(0, s.find('\n') + 1);
}

TEST(ToolsHelp, EveryProgramPrintsItsUsageOnStandardOutput) {
    for (const char* program : kPrograms) {
        for (const char* option : {"--help", "-h"}) {
            TempDir dir;
            CommandResult r = RunIn(dir.Path(), program, {option});
            EXPECT_EQ(r.exitCode, 0) << program << " " << option;
            EXPECT_EQ(r.err, "") << program << " " << option;
            EXPECT_EQ(FirstLine(r.out).rfind(std::string("usage: ") + program + " ", 0), 0u)
                << program << " " << option << ": " << r.out;
            // Nothing written, in particular no file named after the option.
            EXPECT_TRUE(FolderEntries(dir.Path()).empty()) << program << " " << option;
            if (std::string(program) != "vomra") continue;
            for (const char* o :
                 {"--width", "--fps", "--fullscreen", "--archive", "--start", "--frames", "--capture"})
                EXPECT_NE(r.out.find(o), std::string::npos) << o;
            EXPECT_EQ(r.out.find("EGL"), std::string::npos);  // the player starts nothing
        }
    }
    // Wherever it stands, and whatever else is given.
    CommandResult late = RunTool("m3g-info", {"missing.m3g", "--help"});
    EXPECT_EQ(late.exitCode, 0);
    EXPECT_EQ(FirstLine(late.out), "usage: m3g-info [--json | --census] FILE\n");
}

TEST(ToolsUsage, UnknownOptionsAndWrongCountsExitTwoWithTheUsage) {
    struct Case {
        const char* program;
        std::vector<std::string> args;
        std::string firstLine;  // of standard error
    } cases[] = {
        {"vomra-pack", {"--verbose", "list", "a.res"}, "vomra-pack: unknown option --verbose\n"},
        {"vomra-pack", {"create", "-o", "dir"}, "vomra-pack: unknown option -o\n"},
        {"vomra-pack", {"extract", "a.res", "name", "-"}, "vomra-pack: unknown option -\n"},
        {"vomra-pack", {"list"}, "usage: vomra-pack create OUT.res DIR\n"},
        {"vomra-pack", {"pack", "a", "b"}, "usage: vomra-pack create OUT.res DIR\n"},
        {"m3g-info", {"--tree", "x.m3g"}, "m3g-info: unknown option --tree\n"},
        {"m3g-info", {}, "usage: m3g-info [--json | --census] FILE\n"},
        {"m3g-info", {"a.m3g", "b.m3g"}, "usage: m3g-info [--json | --census] FILE\n"},
        {"m3g-scene", {"--out", "knot"}, "m3g-scene: unknown option --out\n"},
        {"m3g-scene", {"a.m3g", "knot", "extra"}, "usage: m3g-scene OUT.m3g [knot|cube|serpent][2]\n"},
        {"vomra-tune", {"--loud", "a.wav"}, "vomra-tune: unknown option --loud\n"},
        {"vomra-tune", {}, "usage: vomra-tune OUT.wav\n"},
        {"vomra-tune", {"a.wav", "b.wav"}, "usage: vomra-tune OUT.wav\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        CommandResult r = RunIn(dir.Path(), c.program, c.args);
        std::string what = std::string(c.program) + " " + (c.args.empty() ? "" : c.args[0]);
        EXPECT_EQ(r.exitCode, 2) << what;
        EXPECT_EQ(r.out, "") << what;
        EXPECT_EQ(FirstLine(r.err), c.firstLine) << what;
        EXPECT_NE(r.err.find(std::string("usage: ") + c.program), std::string::npos) << what;
        EXPECT_TRUE(FolderEntries(dir.Path()).empty()) << what;
    }
}

TEST(ToolsUsage, DoubleDashLetsANameBeginWithADash) {
    TempDir dir;
    EXPECT_EQ(RunIn(dir.Path(), "m3g-scene", {"--", "-cube.m3g", "cube"}).exitCode, 0);
    ASSERT_TRUE(FileExists(dir.File("-cube.m3g")));
    CommandResult info = RunIn(dir.Path(), "m3g-info", {"--census", "--", "-cube.m3g"});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_NE(info.out.find("Mesh: 1\n"), std::string::npos) << info.out;
    WriteFileMakingDirs(dir.File("demo/scripts/init.lua"), "-- empty\n");
    EXPECT_EQ(RunIn(dir.Path(), "vomra-pack", {"create", "--", "-d.res", "demo"}).exitCode, 0);
    CommandResult listed = RunIn(dir.Path(), "vomra-pack", {"list", "--", "-d.res"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out.rfind("scripts/init.lua\t9\t", 0), 0u) << listed.out;
}

// The player keeps its rule: options it does not know are ignored.
TEST(ToolsUsage, PlayerIgnoresOptionsItDoesNotKnow) {
    CommandResult r = RunTool("vomra", {"--no-such-option", "7", "-h"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(FirstLine(r.out), "usage: vomra [options]\n");
}

// ------------------------------------------------------------ scene files read here

uint32_t Get32(const File& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

Json Report(const std::string& path) {
    CommandResult r = RunTool("m3g-info", {"--json", path});
    EXPECT_EQ(r.exitCode, 0) << path << ": " << r.err;
    EXPECT_TRUE(Json::accept(r.out)) << path << ":\n" << r.out;
    return Json::parse(r.out, nullptr, false);
}

// A scene built here, so that every line of the text is known: a spot light,
// a textured mesh animated by a track and listed twice, a child that is no
// node, a child that does not exist, and a group outside any World.
File SampleScene() {
    Bytes positions, buffer, strips, image, texture, material, appearance, keys, controller, track, mesh,
        camera, light, group, background, world, loose;
    positions.Object3D(0).U8(2).U8(3).U8(0).U16(4);
    for (int i = 0; i < 12; ++i) positions.U16(i % 3 == 0 ? 1 : 0);
    buffer.Object3D(0).U8(255).U8(255).U8(255).U8(255).U32(2).F32(0).F32(0).F32(0).F32(1).U32(0).U32(0).U32(
        0);
    strips.Object3D(0).U8(0).U32(0).U32(1).U32(4);  // implicit: one strip of four vertices
    image.Object3D(0).U8(99).U8(0).U32(2).U32(2).U32(0).U32(12).Raw(File(12, 9));
    texture.Object3D(0).U8(0).U8(0).U32(5).Raw({0, 0, 0, 0}).U8(228).U8(240).U8(241).U8(208).U8(210);
    material.Object3D(0).Raw({10, 20, 30, 40, 50, 60, 255, 1, 2, 3, 4, 5, 6}).F32(16).U8(0);
    appearance.Object3D(0).U8(2).U32(0).U32(0).U32(0).U32(7).U32(1).U32(6);
    keys.Object3D(0).U8(176).U8(192).U8(0).U32(1000).U32(0).U32(1).U32(3).U32(2);
    keys.U32(0).F32(0).F32(0).F32(0).U32(1000).F32(1).F32(0).F32(0);
    controller.Object3D(0).F32(2).F32(1).U32(0).U32(0).F32(0).U32(0);
    track.Object3D(0).U32(9).U32(10).U32(275);
    mesh.Object3D(40, {11}).U8(0).U8(0).U8(1).U8(1).U8(255).U32(0).U8(0);
    mesh.U32(3).U32(1).U32(4).U32(8);
    camera.Object3D(10).U8(1).F32(0).F32(0).F32(5).F32(1).F32(1).F32(1).F32(0).F32(0).F32(0).F32(1).U8(0);
    camera.U8(1).U8(1).U8(255).U32(0).U8(0);
    camera.U8(50).F32(60).F32(1.5f).F32(1).F32(50);
    light.PlainNode(20).F32(1).F32(0.5f).F32(0.25f).Raw({255, 128, 0}).U8(131).F32(2).F32(30).F32(4);
    group.PlainNode(30).U32(2).U32(12).U32(12);
    background.Object3D(0)
        .Raw({10, 20, 30, 255})
        .U32(0)
        .U8(32)
        .U8(32)
        .U32(0)
        .U32(0)
        .U32(0)
        .U32(0)
        .U8(1)
        .U8(0);
    world.PlainNode(1).U32(5).U32(13).U32(14).U32(15).U32(2).U32(99).U32(13).U32(16);
    loose.PlainNode(60).U32(0);
    return M3GFile({Section({Record(0, HeaderData(1))}),
                    Section({Record(20, positions), Record(21, buffer), Record(11, strips), Record(10, image),
                             Record(17, texture), Record(13, material), Record(3, appearance),
                             Record(19, keys), Record(1, controller), Record(2, track), Record(14, mesh),
                             Record(5, camera), Record(12, light), Record(9, group), Record(4, background),
                             Record(22, world), Record(9, loose)},
                            1)});
}

TEST(M3GInfoTree, TextShowsTreeSurfacesAnimationAndMessages) {
    TempDir dir;
    const std::string path = dir.File("sample.m3g");
    File file = SampleScene();
    WriteFile(path, file);
    CommandResult r = RunTool("m3g-info", {path});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(
        r.out,
        path + ": " + std::to_string(file.size()) +
            " bytes\n"
            "Header: version 1.0, total file size 0 B, approximate content size 0 B, no external references\n"
            "  authoring: \"test\"\n"
            "Objects: 18\n"
            "  Header: 1\n"
            "  AnimationController: 1\n"
            "  AnimationTrack: 1\n"
            "  Appearance: 1\n"
            "  Background: 1\n"
            "  Camera: 1\n"
            "  Group: 2\n"
            "  Image2D: 1\n"
            "  TriangleStripArray: 1\n"
            "  Light: 1\n"
            "  Material: 1\n"
            "  Mesh: 1\n"
            "  Texture2D: 1\n"
            "  KeyframeSequence: 1\n"
            "  VertexArray: 1\n"
            "  VertexBuffer: 1\n"
            "  World: 1\n"
            "Scene:\n"
            "  World #17, user id 1 [enabled, picking, alpha 255]\n"
            "    active camera Camera #13, background #16: colour 10 20 30 255, clears depth\n"
            "    Camera #13, user id 10, at (0 0 5) [enabled, picking, alpha 255]\n"
            "      perspective: fov 60, aspect 1.5, near 1, far 50\n"
            "    Light #14, user id 20 [enabled, picking, alpha 255]\n"
            "      spot: colour 255 128 0, intensity 2, attenuation 1 0.5 0.25, spot angle 30, exponent 4\n"
            "    Group #15, user id 30 [enabled, picking, alpha 255]\n"
            "      Mesh #12, user id 40 [enabled, picking, alpha 255], animated by track #11: 4 vertices, "
            "2 triangles\n"
            "        vertex buffer #3, positions #2 (3 x short)\n"
            "        submesh 0: strips #4 (implicit indices, 1 strip, 2 triangles), appearance #8 (layer 2)\n"
            "          material #7: ambient 10 20 30, diffuse 40 50 60 255, emissive 1 2 3, specular 4 5 6, "
            "shininess 16\n"
            "          texture 0 #6: image #5 2 x 2 RGB; wrap S clamp, T repeat; level filter base level, "
            "image filter nearest\n"
            "      Mesh #12, user id 40 (listed again; shown above)\n"
            "    VertexArray #2 (not a node)\n"
            "    #99 (no such object)\n"
            "Outside any World:\n"
            "  Group #18, user id 60 [enabled, picking, alpha 255]\n"
            "Animation:\n"
            "  AnimationController #10, user id 0: speed 2, weight 1, active interval 0 to 0, reference "
            "sequence time 0, world time 0\n"
            "  AnimationTrack #11, user id 0: translation of Mesh #12, user id 40; controller "
            "AnimationController #10; sequence #9: 2 keys, 1000 ms, linear, constant\n"
            "Messages:\n"
            "  conversion: SceneNode::Attach(): node is already a child of this node, ignored\n"
            "  conversion: M3G::Group::Create(): unsupported object 2, type 20\n");
}

// Skinned mesh: a strip of `count` vertices, vertex v moved by bone v alone
// (every bone a child of the skeleton group).
File SkinnedScene(unsigned int count) {
    Bytes positions, buffer, strips, skeleton, skinned, world;
    positions.Object3D(0).U8(1).U8(3).U8(0).U16(count);
    for (unsigned int v = 0; v < count; ++v) positions.U8(v).U8(v % 2).U8(0);
    buffer.Object3D(0).U32(0).U32(2).F32(0).F32(0).F32(0).F32(1).U32(0).U32(0).U32(0);
    strips.Object3D(0).U8(0).U32(0).U32(1).U32(count);
    std::vector<std::vector<unsigned char>> records = {Record(0, HeaderData(1)), Record(20, positions),
                                                       Record(21, buffer), Record(11, strips)};
    const unsigned int firstBone = 5;
    for (unsigned int b = 0; b < count; ++b) records.push_back(Record(9, Bytes().PlainNode(100 + b).U32(0)));
    skeleton.PlainNode(50).U32(count);
    for (unsigned int b = 0; b < count; ++b) skeleton.U32(firstBone + b);
    records.push_back(Record(9, skeleton));
    const unsigned int skeletonIndex = firstBone + count;
    skinned.PlainNode(51).U32(3).U32(1).U32(4).U32(0).U32(skeletonIndex).U32(count);
    for (unsigned int b = 0; b < count; ++b) skinned.U32(firstBone + b).U32(b).U32(1).U32(1);
    records.push_back(Record(16, skinned));
    world.PlainNode(52).U32(1).U32(skeletonIndex + 1).U32(0).U32(0);
    records.push_back(Record(22, world));
    return M3GFile({Section(records)});
}

TEST(M3GInfoTree, SkinnedMeshShowsItsBonesAndBatches) {
    TempDir dir;
    WriteFile(dir.File("three.m3g"), SkinnedScene(3));
    Json three = Report(dir.File("three.m3g"));
    Json& skin = three["worlds"][0]["children"][0]["skin"];
    EXPECT_EQ(skin["bones"].get<double>(), 3.0);
    EXPECT_EQ(skin["references"].get<double>(), 3.0);
    // Three bones fit one batch, which draws the whole strip.
    ASSERT_EQ(skin["batches"].size(), 1u);
    EXPECT_EQ(skin["batches"][0]["bones"].get<double>(), 3.0);
    EXPECT_EQ(skin["batches"][0]["elements"].get<double>(), 3.0);
    EXPECT_EQ(skin["skeleton"]["userId"].get<double>(), 50.0);
    EXPECT_EQ(skin["skeleton"]["children"].size(), 3u);

    // Sixteen bones do not fit one batch of at most eight.
    WriteFile(dir.File("sixteen.m3g"), SkinnedScene(16));
    Json sixteen = Report(dir.File("sixteen.m3g"));
    Json& big = sixteen["worlds"][0]["children"][0]["skin"];
    EXPECT_EQ(big["bones"].get<double>(), 16.0);
    ASSERT_GE(big["batches"].size(), 2u);
    double elements = 0.0;
    for (Json& b : big["batches"]) {
        EXPECT_LE(b["bones"].get<double>(), 8.0);
        elements += b["elements"].get<double>();
    }
    // Consecutive strip batches overlap, so together they draw at least the strip.
    EXPECT_GE(elements, 16.0);
    CommandResult text = RunTool("m3g-info", {dir.File("three.m3g")});
    EXPECT_NE(text.out.find("\n      skin: 3 bones in 3 references, 1 batch (bones per batch: 3)\n"
                            "      skeleton:\n        Group #8, user id 50 [enabled, picking, alpha 255]\n"),
              std::string::npos)
        << text.out;
}

TEST(M3GInfoJson, StringsAreEscapedAndTheSameReportAsText) {
    // An authoring text with a quote, a backslash, a control character, a
    // valid two-byte character and a stray byte.
    Bytes header;
    header.U8(1).U8(0).U8(1).U32(7).U32(8).Raw({'a', '"', '\\', 0x01, 0xC3, 0xA9, 0xFF, 'z', 0});
    Bytes reference;
    reference.Text("file.m3g");
    TempDir dir;
    WriteFile(dir.File("odd.m3g"), M3GFile({Section({Record(0, header), Record(255, reference)})}));
    Json r = Report(dir.File("odd.m3g"));
    EXPECT_EQ(r["header"]["authoring"].get<std::string>(), "a\"\\\x01\xC3\xA9\xEF\xBF\xBDz");
    EXPECT_TRUE(r["header"]["hasExternalReferences"].get<bool>());
    EXPECT_EQ(r["header"]["totalFileSize"].get<double>(), 7.0);
    ASSERT_EQ(r["externalReferences"].size(), 1u);
    EXPECT_EQ(r["externalReferences"][0]["uri"].get<std::string>(), "file.m3g");
    EXPECT_EQ(r["externalReferences"][0]["object"].get<double>(), 2.0);
    CommandResult text = RunTool("m3g-info", {dir.File("odd.m3g")});
    EXPECT_NE(
        text.out.find("Header: version 1.0, total file size 7 B, approximate content size 8 B, external "
                      "references\n  authoring: \"a\\\"\\\\\\x01\\xc3\\xa9\\xffz\"\n"
                      "  external reference #2: \"file.m3g\"\n"),
        std::string::npos)
        << text.out;
}

TEST(M3GInfoDamage, ReadingMessagesAreReportedWithStatusZero) {
    File cube = ReadBytes(FixturesDir() + "/m3g/cube.m3g");
    ASSERT_FALSE(cube.empty()) << "missing fixture";
    // Cut inside the second section: the loader names its start, its claimed
    // length and what is left, all read from the bytes here.
    size_t second = 12 + Get32(cube, 13);
    uint32_t claimed = Get32(cube, second + 1);
    File cut(cube.begin(), cube.begin() + second + 20);
    TempDir dir;
    WriteFile(dir.File("cut.m3g"), cut);
    Json r = Report(dir.File("cut.m3g"));
    // Then what is left of the section is read up to the record it cuts.
    ASSERT_EQ(r["messages"]["loader"].size(), 3u);
    EXPECT_EQ(r["messages"]["loader"][0].get<std::string>(),
              "M3GLoader::Load(): section at " + std::to_string(second) + " claims " +
                  std::to_string(claimed) + " B, 20 B left");
    EXPECT_EQ(r["objects"]["total"].get<double>(), 1.0);
    EXPECT_EQ(r["worlds"].size(), 0u);
    CommandResult text = RunTool("m3g-info", {dir.File("cut.m3g")});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find(
                  "Scene: no World\nAnimation: none\nMessages:\n  loader: M3GLoader::Load(): section at "),
              std::string::npos)
        << text.out;
}

// A few kilobytes can name one node tens of thousands of times; the report
// stops listing rather than growing without bound.
TEST(M3GInfoDamage, EndlessRepeatsAreCutShort) {
    Bytes world;
    world.PlainNode(1).U32(60000);
    for (int i = 0; i < 60000; ++i) world.U32(2);
    world.U32(0).U32(0);
    TempDir dir;
    WriteFile(dir.File("many.m3g"), SceneFile({Record(9, Group(5, {})), Record(22, world)}, 1));
    Json r = Report(dir.File("many.m3g"));
    Json& children = r["worlds"][0]["children"];
    ASSERT_EQ(children.size(), 50000u);
    EXPECT_EQ(children[0]["userId"].get<double>(), 5.0);
    EXPECT_TRUE(children[1]["repeated"].get<bool>());
    EXPECT_EQ(r["worlds"][0]["childrenNotShown"].get<double>(), 10000.0);
    EXPECT_TRUE(r["truncated"].get<bool>());
    // Each mention after the first is refused by the conversion with a message;
    // the first 10000 are kept.
    ASSERT_EQ(r["messages"]["conversion"].size(), 10000u);
    EXPECT_EQ(r["messages"]["conversion"][9999].get<std::string>(),
              "SceneNode::Attach(): node is already a child of this node, ignored");
    EXPECT_EQ(r["messages"]["conversionNotShown"].get<double>(), 59999.0 - 10000.0);
    CommandResult text = RunTool("m3g-info", {dir.File("many.m3g")});
    EXPECT_NE(text.out.find("\n    ... 10000 more children not shown\n"), std::string::npos);
    EXPECT_NE(
        text.out.find("\n  ... 49999 more conversion messages not shown\nCut short after 50000 entries"),
        std::string::npos);
}

// Prefixes and flipped bytes of real files: always a report that parses, or
// when the identifier is cut or damaged the refusal, never a crash.
TEST(M3GInfoDamage, TruncationAndByteFlipSweeps) {
    TempDir dir;
    const std::string path = dir.File("damaged.m3g");
    CommandResult missing = RunTool("m3g-info", {path});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "m3g-info: can't read " + path + "\n");
    for (const char* name : {"cube.m3g", "teapot.m3g"}) {
        File file = ReadBytes(FixturesDir() + "/m3g/" + name);
        ASSERT_FALSE(file.empty()) << "missing fixture " << name;
        // Below the size: cut there; above it: the byte at i - size flipped.
        for (size_t i = 0, step = file.size() / 24 + 1; i < 2 * file.size(); i += step) {
            const size_t at = i < file.size() ? i : i - file.size();
            File damaged = i < file.size() ? File(file.begin(), file.begin() + at) : file;
            if (i >= file.size()) damaged[at] ^= 0xFF;
            WriteFile(path, damaged);
            SCOPED_TRACE(std::string(name) + (i < file.size() ? " cut at " : " flipped at ") + std::to_string(at));
            for (bool json : {true, false}) {
                if (!json && i < file.size()) break;  // the text report of flips only
                CommandResult r = RunTool("m3g-info", json ? std::vector<std::string>{"--json", path}
                                                           : std::vector<std::string>{path});
                ASSERT_EQ(r.signal, 0);
                EXPECT_EQ(r.exitCode, at < 12 ? 1 : 0);
                EXPECT_EQ(r.err, at < 12 ? "m3g-info: " + path + " is not a scene file\n" : "");
                EXPECT_TRUE(!json || at < 12 || Json::accept(r.out)) << r.out;
            }
        }
    }
}

}  // namespace
