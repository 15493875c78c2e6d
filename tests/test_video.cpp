// scripts/export-video: the bundled demo encoded through ffmpeg (frame count,
// durations, a frame against the PNG capture), and the runs that must leave
// no video behind (ffmpeg missing, the player failing).
#include "support/Png.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

using testsupport::BinaryPath;
using testsupport::CommandResult;
using testsupport::TempDir;

namespace {

const std::string kScript = std::string(VOMRA_SOURCE_DIR) + "/scripts/export-video";

CommandResult Export(const std::string& out, std::vector<std::string> options) {
    std::vector<std::string> args = {"/usr/bin/env", "-u", "DISPLAY", "VOMRA=" + BinaryPath("vomra"), kScript, out};
    args.insert(args.end(), options.begin(), options.end());
    return testsupport::Run(args, 300);
}

double Probe(const std::string& file, const std::string& stream, const std::string& entry) {
    CommandResult r = testsupport::Run({"/usr/bin/ffprobe", "-v", "error", "-count_frames", "-select_streams", stream,
                                        "-show_entries", "stream=" + entry, "-of", "csv=p=0", file});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out.empty() ? -1 : atof(r.out.c_str());
}

}  // namespace

TEST(VideoExport, TwoSecondsOfTheDemoWithItsMusic) {
    ASSERT_TRUE(testsupport::FileExists("/usr/bin/ffmpeg")) << "install the Debian package ffmpeg";
    TempDir dir;
    std::string out = dir.File("demo.mp4");
    CommandResult run = Export(out, {"--width", "320", "--height", "240", "--fps", "30", "--frames", "60"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("vomra: frame 60 / 60"), std::string::npos) << run.err;  // the progress line
    EXPECT_EQ(Probe(out, "v:0", "nb_read_frames"), 60);
    EXPECT_NEAR(Probe(out, "v:0", "duration"), 2.0, 1.0 / 30);
    EXPECT_NEAR(Probe(out, "a:0", "duration"), 2.0, 0.025);
    CommandResult codec = testsupport::Run({"/usr/bin/ffprobe", "-v", "error", "-show_entries",
                                            "stream=codec_name,pix_fmt,r_frame_rate", "-of", "csv=p=0", out});
    EXPECT_NE(codec.out.find("h264,yuv420p,30/1"), std::string::npos) << codec.out;
    EXPECT_NE(codec.out.find("aac"), std::string::npos) << codec.out;

    // Frame 45 decoded from the video against the PNG capture of frame 45.
    CommandResult capture = testsupport::Run({"/usr/bin/env", "-u", "DISPLAY", "-C", VOMRA_BIN_DIR, BinaryPath("vomra"),
                                              "--capture", dir.File("png"), "--width", "320", "--height", "240",
                                              "--fps", "30", "--frames", "46"});
    ASSERT_EQ(capture.exitCode, 0) << capture.err;
    CommandResult decode = testsupport::Run({"/usr/bin/ffmpeg", "-v", "error", "-i", out, "-vf", "select=eq(n\\,45)",
                                             "-frames:v", "1", dir.File("decoded.png")});
    ASSERT_EQ(decode.exitCode, 0) << decode.err;
    testsupport::RgbImage decoded, png;
    ASSERT_TRUE(testsupport::ReadPng(dir.File("decoded.png"), &decoded));
    ASSERT_TRUE(testsupport::ReadPng(dir.File("png/frame-000045.png"), &png));
    ASSERT_EQ(decoded.rgb.size(), png.rgb.size());
    double sum = 0;
    for (size_t i = 0; i < png.rgb.size(); ++i) sum += std::abs(int(decoded.rgb[i]) - int(png.rgb[i]));
    EXPECT_LT(sum / png.rgb.size(), 8.0);
}

TEST(VideoExport, NoVideoWhenFfmpegIsMissingOrThePlayerFails) {
    TempDir dir, emptyPath;
    std::string out = dir.File("never.mp4");
    CommandResult missing = testsupport::Run({"/usr/bin/env", "PATH=" + emptyPath.Path(), "/bin/bash", kScript, out});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("ffmpeg not found; install the Debian package ffmpeg"), std::string::npos)
        << missing.err;
    EXPECT_FALSE(testsupport::FileExists(out));

    // Music that cannot be decoded: the player ends with an error after the
    // frames, so the video would be silent; none is written.
    ASSERT_TRUE(testsupport::WriteFile(dir.File("bad.ogg"), "OggS but nothing after it"));
    std::string archive = testsupport::PackDemo(
        dir, {{"scripts/init.lua", "Engine:GetEngine():LoadMusic('file://" + dir.File("bad.ogg") +
                                       "')\nEngine:GetEngine():AddPart(Part:New(1000))\n"}});
    CommandResult failed = Export(out, {"--archive", archive, "--width", "64", "--height", "48"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find("not a readable Ogg Vorbis stream"), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("export-video: the player failed (status 1); no video written"), std::string::npos)
        << failed.err;
    EXPECT_FALSE(testsupport::FileExists(out));
}
