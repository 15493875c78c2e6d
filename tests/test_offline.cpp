// Offline rendering: the headless context against the window, captures with no
// X server, the music written beside the frames, the raw frame stream, and
// offline runs refused or cut short.
#include "support/Png.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/HeadlessDisplay.h"
#include "app/MusicDecoder.h"
#include "app/PngEncoder.h"

using testsupport::BinaryPath;
using testsupport::CommandResult;
using testsupport::FrameName;
using testsupport::OnePartScript;
using testsupport::ReadPng;
using testsupport::RgbImage;
using testsupport::TempDir;

namespace {

// The player run from build/, where the bundled demo's archive and music are.
CommandResult RunInBuild(std::vector<std::string> args, bool withDisplay = true) {
    std::vector<std::string> command = {"/usr/bin/env"};
    if (!withDisplay) command.push_back("-u");
    if (!withDisplay) command.push_back("DISPLAY");
    command.insert(command.end(), {"-C", VOMRA_BIN_DIR, BinaryPath("vomra")});
    command.insert(command.end(), args.begin(), args.end());
    return testsupport::Run(command, 120);
}

// A WAV file of the given sample bytes; `claimed` overrides the data size.
std::string WavBytes(const std::string& data, unsigned int rate, unsigned int channels, unsigned int bits,
                     unsigned int tag = 1, int64_t claimed = -1) {
    auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto u16 = [](unsigned v) { return std::string{char(v), char(v >> 8)}; };
    unsigned int frame = channels * bits / 8;
    return "RIFF" + u32(uint32_t(36 + data.size())) + "WAVEfmt " + u32(16) + u16(tag) + u16(channels) +
           u32(rate) + u32(rate * frame) + u16(frame) + u16(bits) + "data" +
           u32(uint32_t(claimed >= 0 ? claimed : int64_t(data.size()))) + data;
}

// Little-endian 16-bit PCM WAV of the given samples.
std::string Wav(const std::vector<short>& samples, unsigned int rate, unsigned int channels) {
    return WavBytes(std::string(reinterpret_cast<const char*>(samples.data()), samples.size() * 2), rate,
                    channels, 16);
}

// The samples of a WAV file written by the player (44-byte header).
std::vector<short> WavSamples(const std::string& bytes) {
    if (bytes.size() < 44) return {};
    std::vector<short> samples((bytes.size() - 44) / 2);
    memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return samples;
}

// The colour follows the time, so every frame differs from the one before.
const char* kTimeFrag =
    "precision mediump float;\nuniform float Vomra_un_Time;\n"
    "void main() { gl_FragColor = vec4(fract(Vomra_un_Time / 1000.0), 0.5, 0.25, 1.0); }\n";

// A one-part demo of 3 s with the given music line.
std::string Pack(const TempDir& dir, const std::string& music) {
    const std::string init = OnePartScript("resource://q.vert", "resource://t.frag", 3000, music);
    return testsupport::PackDemo(
        dir, {{"scripts/init.lua", init}, {"q.vert", testsupport::kScreenQuadVert}, {"t.frag", kTimeFrag}});
}

std::string MusicLine(const std::string& path) {
    return "Engine:GetEngine():LoadMusic('file://" + path + "')\n";
}

CommandResult Capture(const std::string& archive, const std::string& out, std::vector<std::string> more) {
    // The first occurrence of an option wins: the case's own come first.
    std::vector<std::string> args = {"/usr/bin/env", "-u", "DISPLAY", BinaryPath("vomra")};
    args.insert(args.end(), more.begin(), more.end());
    args.insert(args.end(), {"--archive", archive, "--capture", out, "--width", "32", "--height", "24"});
    return testsupport::Run(args, 60);
}

}  // namespace

// Frames encoded by the capture's own PNG encoder decode (through libpng) to
// exactly their pixels: flat, noisy, graded, tiny and odd-sized pictures.
TEST(PngEncoder, PicturesDecodeToTheirOwnPixels) {
    TempDir dir;
    PngEncoder encoder;
    std::vector<unsigned char> file;
    struct Case {
        unsigned int width, height;
        int pattern;  // 0 black, 1 noise, 2 gradient, 3 one bright pixel
    };
    const Case cases[] = {{1, 1, 0}, {1, 1, 1}, {3, 7, 1}, {64, 48, 0}, {64, 48, 1},
                          {257, 31, 2}, {640, 360, 2}, {33, 17, 3}};
    unsigned int seed = 12345;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " pattern " +
                     std::to_string(c.pattern));
        std::vector<unsigned char> rgba(size_t(c.width) * c.height * 4);
        for (size_t i = 0; i < rgba.size(); ++i) {
            seed = seed * 1103515245u + 12345u;
            size_t pixel = i / 4;
            unsigned int x = unsigned(pixel % c.width), y = unsigned(pixel / c.width);
            switch (c.pattern) {
            case 0: rgba[i] = 0; break;
            case 1: rgba[i] = (unsigned char)(seed >> 16); break;
            case 2: rgba[i] = (unsigned char)(x * 3 + y * (i % 4) + (i % 4) * 40); break;
            default: rgba[i] = pixel == 5 ? 255 : 0; break;
            }
        }
        encoder.Encode(rgba.data(), c.width, c.height, &file);
        ASSERT_TRUE(testsupport::WriteFile(dir.File("p.png"), file));
        RgbImage image;
        ASSERT_TRUE(ReadPng(dir.File("p.png"), &image));
        ASSERT_EQ(image.width, c.width);
        ASSERT_EQ(image.height, c.height);
        for (unsigned int y = 0; y < c.height; ++y) {
            for (unsigned int x = 0; x < c.width; ++x) {
                for (unsigned int k = 0; k < 3; ++k) {
                    ASSERT_EQ(image.At(x, y)[k], rgba[(size_t(c.height - 1 - y) * c.width + x) * 4 + k])
                        << x << "," << y;
                }
            }
        }
        if (c.pattern == 2) {
            EXPECT_LT(file.size(), rgba.size() / 4 * 3 / 2);  // smooth pictures shrink
        }
    }
}

// Code lengths stay within the limit even for counts that would make a
// deeper tree (a Fibonacci-like spread), and a lone symbol gets a code.
TEST(PngEncoder, CodeLengthsAreLimitedAndComplete) {
    unsigned int counts[20];
    unsigned int a = 1, b = 1;
    for (unsigned int& n : counts) {
        n = a;
        unsigned int next = a + b;
        a = b;
        b = next;
    }
    unsigned char lengths[20];
    PngEncoder::BuildLengths(counts, 20, 7, lengths);
    double kraft = 0;
    for (unsigned char n : lengths) {
        EXPECT_GE(n, 1);
        EXPECT_LE(n, 7);
        kraft += std::ldexp(1.0, -int(n));
    }
    EXPECT_DOUBLE_EQ(kraft, 1.0);  // a complete code, as inflate wants it
    unsigned int lone[5] = {0, 0, 9, 0, 0};
    PngEncoder::BuildLengths(lone, 5, 15, lengths);
    EXPECT_EQ(lengths[2], 1);
    EXPECT_EQ(lengths[0] + lengths[1] + lengths[3] + lengths[4], 1);
}

// The window path and the surfaceless path draw the same pixels: four frames
// of the bundled demo, one from each part, at most 1 apart in any channel.
TEST(OfflineHeadless, SameFramesAsTheWindow) {
    ASSERT_TRUE(HeadlessDisplay::IsXDisplayUsable()) << "the window side needs an X display";
    TempDir windowed, headless;
    std::vector<std::string> common = {"--frames", "23", "--width", "160", "--height", "120", "--fps", "1"};
    std::vector<std::string> a = {"--capture", windowed.Path()}, b = {"--headless", "--capture", headless.Path()};
    a.insert(a.end(), common.begin(), common.end());
    b.insert(b.end(), common.begin(), common.end());
    CommandResult runA = RunInBuild(a), runB = RunInBuild(b);
    ASSERT_EQ(runA.exitCode, 0) << runA.err;
    ASSERT_EQ(runB.exitCode, 0) << runB.err;
    for (int frame : {3, 10, 17, 22}) {
        SCOPED_TRACE(frame);
        RgbImage x, y;
        ASSERT_TRUE(ReadPng(windowed.File(FrameName(frame)), &x));
        ASSERT_TRUE(ReadPng(headless.File(FrameName(frame)), &y));
        ASSERT_EQ(x.rgb.size(), y.rgb.size());
        int worst = 0;
        for (size_t i = 0; i < x.rgb.size(); ++i) worst = std::max(worst, std::abs(int(x.rgb[i]) - int(y.rgb[i])));
        EXPECT_LE(worst, 1);
    }
}

// No DISPLAY at all: the capture still runs, writes its frames and the music.
TEST(OfflineHeadless, CapturesWithoutAnyXServer) {
    TempDir dir;
    CommandResult run = RunInBuild({"--capture", dir.Path(), "--frames", "10", "--width", "64", "--height", "48",
                                    "--fps", "25"},
                                   false);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("EGL 1."), 0u) << run.out;  // the same start-up report as the window's
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(testsupport::FileExists(dir.File(FrameName(i)))) << i;
    EXPECT_FALSE(testsupport::FileExists(dir.File(FrameName(10))));
    // 10 frames at 25 fps: 400 ms, 17640 stereo frames.
    EXPECT_EQ(testsupport::ReadFile(dir.File("audio.wav")).size(), 44u + 17640u * 4);
}

// audio.wav starts at the capture's start time and lasts exactly as long as
// the frames; a track shorter than that is padded with silence; other rates
// and mono are converted.
TEST(OfflineAudio, MusicBesideTheFramesMatchesTheTrack) {
    TempDir dir;
    const unsigned int kFrames = 44100;  // one second, stereo, a ramp per channel
    std::vector<short> track(kFrames * 2);
    for (unsigned int i = 0; i < kFrames; ++i) {
        track[i * 2] = short(i % 30000);
        track[i * 2 + 1] = short(-short(i % 20000));
    }
    ASSERT_TRUE(testsupport::WriteFile(dir.File("ramp.wav"), Wav(track, 44100, 2)));
    std::string archive = Pack(dir, MusicLine(dir.File("ramp.wav")));

    // From 500 ms, 18 frames at 30 fps = 600 ms: the last 100 ms are past the track.
    CommandResult run = Capture(archive, dir.File("a"), {"--frames", "18", "--fps", "30", "--start", "500"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<short> got = WavSamples(testsupport::ReadFile(dir.File("a/audio.wav")));
    ASSERT_EQ(got.size(), 26460u * 2);
    for (unsigned int i = 0; i < 26460; ++i) {
        unsigned int source = 22050 + i;
        short left = source < kFrames ? track[source * 2] : 0, right = source < kFrames ? track[source * 2 + 1] : 0;
        ASSERT_EQ(got[i * 2], left) << i;
        ASSERT_EQ(got[i * 2 + 1], right) << i;
    }
    std::string header = testsupport::ReadFile(dir.File("a/audio.wav")).substr(0, 44);
    EXPECT_EQ(header.substr(0, 4), "RIFF");
    EXPECT_EQ(header.substr(8, 8), "WAVEfmt ");

    // Mono at 22050 Hz: each sample doubled into both channels and twice in time.
    std::vector<short> mono(22050);
    for (unsigned int i = 0; i < mono.size(); ++i) mono[i] = short(i);
    ASSERT_TRUE(testsupport::WriteFile(dir.File("mono.wav"), Wav(mono, 22050, 1)));
    archive = Pack(dir, MusicLine(dir.File("mono.wav")));
    run = Capture(archive, dir.File("b"), {"--frames", "10", "--fps", "100"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    got = WavSamples(testsupport::ReadFile(dir.File("b/audio.wav")));
    ASSERT_EQ(got.size(), 4410u * 2);
    for (unsigned int i = 0; i < 4410; i += 7) {
        double expected = i / 2.0;  // linear between the source samples
        EXPECT_NEAR(got[i * 2], expected, 0.51) << i;
        EXPECT_EQ(got[i * 2], got[i * 2 + 1]) << i;
    }

    // Ogg Vorbis, decoded by the player itself: exact length, silence stays silence.
    ASSERT_EQ(testsupport::MakeSilentOgg(dir.File("quiet.ogg"), 1.0), "");
    archive = Pack(dir, MusicLine(dir.File("quiet.ogg")));
    run = Capture(archive, dir.File("c"), {"--frames", "7", "--fps", "3"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    got = WavSamples(testsupport::ReadFile(dir.File("c/audio.wav")));
    ASSERT_EQ(got.size(), 102900u * 2);  // 7 frames at 3 fps: 2333.3 ms
    for (short s : got) ASSERT_LE(std::abs(int(s)), 2);
}

// Sample sizes other than 16 bits, damaged and unsupported files, read by the
// decoder directly.
TEST(MusicDecoder, SampleSizesDamageAndRefusals) {
    TempDir dir;
    auto decode = [&](const std::string& bytes, unsigned int frames, std::vector<short>* out) {
        EXPECT_TRUE(testsupport::WriteFile(dir.File("t.wav"), bytes));
        MusicDecoder decoder;
        if (!decoder.Open(("file://" + dir.File("t.wav")).c_str())) return decoder.GetError();
        out->assign(frames * 2, 99);
        if (!decoder.Read(out->data(), frames)) return decoder.GetError();
        return std::string();
    };
    std::vector<short> got;
    // 8-bit samples are unsigned around 128.
    EXPECT_EQ(decode(WavBytes(std::string("\x80\xff\x00\x81", 4), 44100, 2, 8), 3, &got), "");
    EXPECT_EQ(got, (std::vector<short>{0, 127 * 256, -32768, 256, 0, 0}));
    // 24-bit: the top two bytes of each sample.
    EXPECT_EQ(decode(WavBytes(std::string("\x11\x34\x12\x22\xff\xff", 6), 44100, 1, 24), 2, &got), "");
    EXPECT_EQ(got, (std::vector<short>{0x1234, 0x1234, -1, -1}));
    // A data size past the end of the file: what is there, then silence.
    EXPECT_EQ(decode(WavBytes(std::string("\x01\x00\x02\x00", 4), 44100, 2, 16, 1, 1000000), 2, &got), "");
    EXPECT_EQ(got, (std::vector<short>{1, 2, 0, 0}));
    struct Refusal {
        std::string bytes;
        const char* message;
    };
    const Refusal refusals[] = {
        {WavBytes(std::string(8, '\0'), 44100, 2, 32, 3), "WAV samples are not integer PCM of 8, 16, 24 or 32 bits"},
        {WavBytes(std::string(8, '\0'), 0, 2, 16), "WAV format out of range"},
        {std::string("RIFF\x04\0\0\0WAVE", 12), "WAV file without data"},
        {std::string("RIFF\x04\0\0\0WAVEfmt \xff\0\0\0", 20), "damaged WAV format chunk"},
        {"ID3 is not music", "neither Ogg Vorbis nor WAV"},
        {"OggS and then nothing", "not a readable Ogg Vorbis stream"},
    };
    for (const Refusal& r : refusals) {
        std::string error = decode(r.bytes, 1, &got);
        EXPECT_NE(error.find(r.message), std::string::npos) << r.message << ": " << error;
    }
    MusicDecoder resource;
    EXPECT_FALSE(resource.Open("resource://music.ogg"));
    EXPECT_EQ(resource.GetError(), "resource://music.ogg: only file:// music can be played");
}

// A track that is not music: reported, frames written, no audio.wav, and the
// status says the capture is incomplete. A demo without music writes none.
TEST(OfflineAudio, UndecodableOrMissingMusicLeavesNoAudioAndFails) {
    TempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(dir.File("noise.ogg"), std::string(5000, 'x')));
    struct Case {
        std::string music;
        const char* message;
    };
    const Case cases[] = {
        {"noise.ogg", ": neither Ogg Vorbis nor WAV"},
        {"absent.ogg", "absent.ogg: No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.music);
        std::string out = dir.File("out-" + c.music);
        CommandResult run = Capture(Pack(dir, MusicLine(dir.File(c.music))), out, {"--frames", "4", "--fps", "10"});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("SDLApp::WriteAudio(): no " + out + "/audio.wav: "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(testsupport::FileExists(out + "/" + FrameName(3)));
        EXPECT_FALSE(testsupport::FileExists(out + "/audio.wav"));
    }
    CommandResult silent = Capture(Pack(dir, ""), dir.File("silent"), {"--frames", "2"});
    EXPECT_EQ(silent.exitCode, 0) << silent.err;
    EXPECT_FALSE(testsupport::FileExists(dir.File("silent/audio.wav")));
}

// --capture - sends the frames as raw RGB to standard output, in order and
// identical to the PNGs; messages move to standard error meanwhile.
TEST(OfflineStream, RawFramesMatchThePngCapture) {
    TempDir dir;
    std::string archive = Pack(dir, "");
    CommandResult png = Capture(archive, dir.File("png"), {"--frames", "12", "--fps", "7"});
    ASSERT_EQ(png.exitCode, 0) << png.err;
    CommandResult raw = Capture(archive, "-", {"--frames", "12", "--fps", "7"});
    ASSERT_EQ(raw.exitCode, 0) << raw.err;
    EXPECT_NE(raw.err.find("EGL 1."), std::string::npos);
    ASSERT_EQ(raw.out.size(), 12u * 32 * 24 * 3);
    for (int i = 0; i < 12; ++i) {
        RgbImage frame;
        ASSERT_TRUE(ReadPng(dir.File("png/" + FrameName(i)), &frame));
        EXPECT_EQ(raw.out.compare(size_t(i) * frame.rgb.size(), frame.rgb.size(),
                                  std::string(frame.rgb.begin(), frame.rgb.end())),
                  0)
            << "frame " << i;
    }
}

// A reader that stops early: the player reports the failed write and ends
// with a non-zero status instead of dying on SIGPIPE or hanging.
TEST(OfflineStream, ClosedPipeEndsTheCaptureWithAnError) {
    TempDir dir;
    std::string archive = Pack(dir, "");
    CommandResult run = testsupport::Run(
        {"/bin/bash", "-c",
         "env -u DISPLAY '" + BinaryPath("vomra") + "' --archive '" + archive +
             "' --capture - --width 64 --height 48 --frames 500 | head -c 1000 >/dev/null; "
             "echo \"${PIPESTATUS[0]}\""},
        60);
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.out, "1\n");
    EXPECT_NE(run.err.find("can't write frame"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("the capture is incomplete"), std::string::npos) << run.err;
}

// Sizes and folders that cannot work are refused before anything is drawn.
TEST(OfflineBadInput, SizesAndFoldersAreRefusedWithAMessage) {
    TempDir dir;
    std::string archive = Pack(dir, "");
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    ASSERT_TRUE(testsupport::WriteFile(dir.File("plain"), "not a folder"));
    const Case cases[] = {
        {{"--width", "0"}, "SDLApp::Initialize(): --width 0 is not a size from 1 to 8192 pixels"},
        {{"--height", "-5"}, "SDLApp::Initialize(): --height -5 is not a size from 1 to 8192 pixels"},
        {{"--width", "100000"}, "--width 100000 is not a size"},
        {{"--height", "99999999999999999999"}, "is not a size from 1 to 8192"},
        {{"--width", "4100", "--height", "10"}, "larger than the largest offscreen surface"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        CommandResult run = Capture(archive, dir.File("frames"), c.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("App init failed"), std::string::npos) << run.err;
    }
    CommandResult folder = Capture(archive, dir.File("plain/frames"), {"--frames", "3"});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("can't make the capture folder " + dir.File("plain/frames") + ": Not a directory"),
              std::string::npos)
        << folder.err;
    CommandResult file = Capture(archive, dir.File("plain"), {"--frames", "3"});
    EXPECT_EQ(file.exitCode, 1);
    EXPECT_NE(file.err.find("can't write into the capture folder"), std::string::npos) << file.err;
}
