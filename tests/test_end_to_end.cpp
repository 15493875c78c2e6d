// The player as a whole, under the test display: a demo packed with vomra-pack
// and rendered offline, checked by the pixels of its captured frames. (Bad
// content: test_player_robustness and test_check; Escape: test_shell.)
#include "support/Png.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using testsupport::BinaryPath;
using testsupport::CommandResult;
using testsupport::ReadPng;
using testsupport::RgbImage;
using testsupport::TempDir;

namespace {

const char* kQuadVert =
    "attribute vec4 Vomra_va_Location;\n"
    "uniform mat4 Vomra_un_Projection;\n"
    "uniform mat4 Vomra_un_View;\n"
    "uniform mat4 Vomra_un_Model;\n"
    "varying vec2 uv;\n"
    "void main() {\n"
    "  uv = Vomra_va_Location.xy;\n"
    "  gl_Position = Vomra_un_Projection * Vomra_un_View * Vomra_un_Model *\n"
    "                vec4(Vomra_va_Location.xy, 0.0, 1.0);\n"
    "}\n";

const char* kColorFrag =
    "precision mediump float;\n"
    "uniform vec3 color;\n"
    "void main() { gl_FragColor = vec4(color, 1.0); }\n";

// Left half: the first source; right half: the second.
const char* kSplitFrag =
    "precision mediump float;\n"
    "uniform sampler2D Vomra_un_TextureSampler0;\n"
    "uniform sampler2D Vomra_un_TextureSampler1;\n"
    "varying vec2 uv;\n"
    "void main() {\n"
    "  if (uv.x < 0.5) gl_FragColor = texture2D(Vomra_un_TextureSampler0, uv);\n"
    "  else gl_FragColor = texture2D(Vomra_un_TextureSampler1, uv);\n"
    "}\n";

const char* kGainFrag =
    "precision mediump float;\n"
    "uniform sampler2D Vomra_un_TextureSampler0;\n"
    "uniform float gain;\n"
    "varying vec2 uv;\n"
    "void main() { gl_FragColor = vec4(texture2D(Vomra_un_TextureSampler0, uv).rgb * gain, 1.0); }\n";

// Part 1 (500 ms): an animated colour drawn into a target, shown on the left by
// a second pass that reads it; the right shows a target drawn once at start.
// Part 2 (500 ms): the start picture at half brightness.
const char* kInit =
    "local engine = Engine:GetEngine()\n"
    "local vert = 'resource://shaders/quad.vert'\n"
    "local live = Target:New()\n"
    "local once = Target:New(0.5)\n"
    "local green = Effect:New(vert, 'resource://shaders/color.frag')\n"
    "green:SetParam('color', 0, 1, 0)\n"
    "local title = Part:New(1)\n"
    "title:AddPass(Pass:New(Scene:CreateFS(), green))\n"
    "engine:RenderOnce(title, once, 0)\n"
    "local fade = Animation:New(Animation.IM_LINEAR, Animation.RM_CONSTANT, 3)\n"
    "fade:AddKey(0, 1, 0, 0)\n"
    "fade:AddKey(400, 0, 0, 1)\n"
    "fade:SetDuration(400)\n"
    "local colour = Effect:New(vert, 'resource://shaders/color.frag')\n"
    "colour:BindParam('color', fade)\n"
    "local split = Effect:New(vert, 'resource://shaders/split.frag')\n"
    "split:AddSource(live)\n"
    "split:AddSource(once)\n"
    "local one = Part:New(500)\n"
    "one:AddPass(Pass:New(Scene:CreateFS(), colour, live))\n"
    "one:AddPass(Pass:New(Scene:CreateFS(), split, Target:Screen()))\n"
    "local dim = Effect:New(vert, 'resource://shaders/gain.frag')\n"
    "dim:AddSource(once)\n"
    "dim:SetParam('gain', 0.5)\n"
    "local two = Part:New(1500, 1000)\n"
    "two:AddPass(Pass:New(Scene:CreateFS(), dim))\n"
    "engine:AddPart(one)\n"
    "engine:AddPart(two)\n";

void ExpectPixel(const RgbImage& image, unsigned int x, unsigned int y, int r, int g, int b,
                 const std::string& where) {
    const unsigned char* p = image.At(x, y);
    EXPECT_NEAR(p[0], r, 2) << where;
    EXPECT_NEAR(p[1], g, 2) << where;
    EXPECT_NEAR(p[2], b, 2) << where;
}

std::string FramePath(const TempDir& dir, int i) { return dir.File("frames/" + testsupport::FrameName(i)); }

}  // namespace

TEST(EndToEnd, PackedDemoRendersItsPartsTargetsAndAnimationsIntoCapturedFrames) {
    TempDir dir;
    const std::string archive = testsupport::PackDemo(
        dir, {{"scripts/init.lua", kInit}, {"shaders/quad.vert", kQuadVert}, {"shaders/color.frag", kColorFrag},
              {"shaders/split.frag", kSplitFrag}, {"shaders/gain.frag", kGainFrag}});

    // 10 fps: the offline clock advances 100 ms per frame.
    CommandResult run = testsupport::Run({BinaryPath("vomra"), "--archive", archive, "--capture",
                             dir.File("frames"), "--frames", "10", "--width", "320", "--height", "240",
                             "--fps", "10"});
    ASSERT_EQ(run.signal, 0);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("ERROR"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Failed to"), std::string::npos) << run.out;

    RgbImage frames[10];
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(ReadPng(FramePath(dir, i), &frames[i])) << i;
        ASSERT_EQ(frames[i].width, 320u);
        ASSERT_EQ(frames[i].height, 240u);
    }
    EXPECT_FALSE(testsupport::FileExists(FramePath(dir, 10)));

    // t = 0: red drawn into the target and read back on the left; the green
    // picture rendered once before the first frame on the right.
    ExpectPixel(frames[0], 80, 120, 255, 0, 0, "frame 0 left");
    ExpectPixel(frames[0], 240, 120, 0, 255, 0, "frame 0 right");
    // t = 200: the animated parameter is halfway from red to blue.
    ExpectPixel(frames[2], 80, 60, 128, 0, 128, "frame 2 left");
    ExpectPixel(frames[2], 240, 60, 0, 255, 0, "frame 2 right");
    // t = 400 and after: the animation holds its last key.
    ExpectPixel(frames[4], 10, 10, 0, 0, 255, "frame 4 left");
    // t = 500: the second part shows the start picture at half brightness.
    for (int i = 5; i < 10; ++i) ExpectPixel(frames[i], 160, 120, 0, 128, 0, "part 2 frame " + std::to_string(i));
}

