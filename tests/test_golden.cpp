// Golden pictures: frames of the bundled demo rendered offline must match the
// reference PNGs in tests/golden/ within a small tolerance. On a mismatch a diff
// picture (differences amplified) is written into the working folder. After a
// deliberate change to the demo or the renderer, scripts/update-golden makes
// new references; look at them before committing.
#include "support/Png.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Frame number at 1 fps = the demo time in seconds; one frame from each part
// (parts start at 0, 8, 16, 28, 44 and 56 seconds).
const int kFrames[] = {4, 12, 22, 36, 50, 62};
const unsigned int kChannelTolerance = 6;  // rasterisation and rounding noise
const double kPixelShareAllowed = 0.005;   // of pixels beyond the tolerance
const auto Name = testsupport::FrameName;

}  // namespace

TEST(Golden, BundledDemoFramesMatchTheirReferences) {
    testsupport::TempDir dir;
    const char* update = getenv("VOMRA_UPDATE_GOLDEN");
    std::string goldenDir = std::string(VOMRA_SOURCE_DIR) + "/tests/golden";
    // From build/, where the demo's music is: the capture writes it beside the frames.
    testsupport::CommandResult run = testsupport::Run(
        {"/usr/bin/env", "-C", VOMRA_BIN_DIR, testsupport::BinaryPath("vomra"), "--archive",
         testsupport::BinaryPath("vomra.res"), "--capture", dir.Path(), "--frames", "63", "--width", "160",
         "--height", "120", "--fps", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The whole demo plays without a script, shader or content complaint.
    EXPECT_EQ(run.err.find("ERROR"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Failed to"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Warning"), std::string::npos) << run.out;
    for (int frame : kFrames) {
        SCOPED_TRACE(Name(frame));
        testsupport::RgbImage got, want;
        ASSERT_TRUE(testsupport::ReadPng(dir.File(Name(frame)), &got));
        std::string reference = goldenDir + "/demo-" + Name(frame);
        if (update && std::string(update) == "1") {
            ASSERT_TRUE(testsupport::WritePng(reference, got));
            continue;
        }
        ASSERT_TRUE(testsupport::ReadPng(reference, &want)) << "missing reference " << reference;
        ASSERT_EQ(got.width, want.width);
        ASSERT_EQ(got.height, want.height);
        testsupport::RgbImage diff = got;
        size_t off = 0;
        for (size_t i = 0; i < got.rgb.size(); i += 3) {
            unsigned int worst = 0;
            for (int c = 0; c < 3; ++c) {
                unsigned int d = unsigned(std::abs(int(got.rgb[i + c]) - int(want.rgb[i + c])));
                worst = d > worst ? d : worst;
                diff.rgb[i + c] = (unsigned char)(d * 8 > 255 ? 255 : d * 8);
            }
            if (worst > kChannelTolerance) ++off;
        }
        bool same = off <= size_t(kPixelShareAllowed * (got.rgb.size() / 3));
        if (!same) testsupport::WritePng("golden-diff-" + Name(frame), diff);
        EXPECT_TRUE(same) << off << " pixels differ; see golden-diff-" << Name(frame)
                          << " in the working folder";
    }
}
