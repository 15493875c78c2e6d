// Decoding images into textures: 24- and 32-bit images become bottom-up RGB and
// RGBA textures; other pixel sizes are refused, damaged data reported.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/SDLImageLoader.h"
#include "app/SDLPlatform.h"
#include "engine/Texture2D.h"
#include "support/Png.h"
#include "support/TestSupport.h"

using testsupport::WritePng;

namespace {

typedef std::vector<unsigned char> Bytes;

// Every byte different, so a misplaced row or channel shows.
Bytes Ramp(size_t n, unsigned char first) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = (unsigned char)(first + i * 7);
    return b;
}

class Image : public ::testing::Test {
protected:
    void SetUp() override { Platform::current = &platform; }
    void TearDown() override { Platform::current = nullptr; }
    std::string Url(const std::string& name) const { return "file://" + dir.File(name); }
    // Loads with standard output captured into `out`.
    std::unique_ptr<Texture2D> Load(const std::string& url) {
        testsupport::CaptureFd capture(1);
        std::unique_ptr<Texture2D> texture(loader.Load(url.c_str()));
        out = capture.Stop();
        return texture;
    }
    std::string out;

    testsupport::TempDir dir;
    SDLPlatform platform;
    SDLImageLoader loader{nullptr};
};

// Texture row 0 is the image's bottom row, bytes in file order; each row keeps
// the decoder's four-byte-aligned pitch.
TEST_F(Image, DecodesBottomUpKeepingThePitch) {
    struct Row { unsigned channels, width, height, textureFormat; size_t pitch; };
    const Row rows[] = {
        {4, 3, 2, Texture::TF_RGBA8, 12},
        {3, 5, 3, Texture::TF_RGB8, 16},  // 15 bytes of pixels a row
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.textureFormat);
        const size_t bytes = row.width * row.channels;
        Bytes file = Ramp(bytes * row.height, 1);
        ASSERT_TRUE(WritePng(dir.File("my pic.png"), row.width, row.height, row.channels, file));
        std::unique_ptr<Texture2D> t = Load(Url("my%20pic.png"));
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(out, "");
        EXPECT_EQ(std::make_tuple(t->format, t->width, t->height),
                  std::make_tuple(row.textureFormat, row.width, row.height));
        for (unsigned r = 0; r < row.height; ++r) {
            const unsigned char* texRow = t->pixels + r * row.pitch;
            auto fileRow = file.begin() + (row.height - 1 - r) * bytes;
            EXPECT_EQ(Bytes(texRow, texRow + bytes), Bytes(fileRow, fileRow + bytes)) << r;
        }
    }
}

TEST_F(Image, RefusedInputsGiveNullWithTheirMessage) {
    ASSERT_TRUE(WritePng(dir.File("grey.png"), 4, 4, 1, Ramp(16, 0)));
    ASSERT_TRUE(testsupport::WriteFile(dir.File("junk.png"), Ramp(300, 17)));
    ASSERT_TRUE(testsupport::WriteFile(dir.File("empty.png"), std::string()));
    const std::string undecodable = "SDLImageLoader::Load(): Unsupported image format\n";
    const std::pair<std::string, std::string> rows[] = {
        {Url("grey.png"), ""},  // decodes, but one byte a pixel has no upload format
        {Url("junk.png"), undecodable}, {Url("empty.png"), undecodable},
        {Url("missing.png"),
         "SDLFileSource::SDLFileSource(): Can't open " + dir.File("missing.png") + "\n"},
        {"zip://images/a.png", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        EXPECT_EQ(Load(row.first), nullptr);
        EXPECT_EQ(out, row.second);
    }
    Platform::current = nullptr;
    EXPECT_EQ(Load(Url("junk.png")), nullptr);
    EXPECT_EQ(out, "");
}

// Every prefix of a PNG decodes or is reported in one line. Short reads once
// fed the decoder stale bytes and some cuts made it loop forever.
TEST_F(Image, TruncatedPngIsReportedNotHung) {
    ASSERT_TRUE(WritePng(dir.File("full.png"), 6, 5, 4, Ramp(6 * 5 * 4, 2)));
    std::string full = testsupport::ReadFile(dir.File("full.png"));
    int refused = 0;
    for (size_t n = 0; n < full.size(); ++n) {
        ASSERT_TRUE(testsupport::WriteFile(dir.File("cut.png"), full.substr(0, n)));
        std::unique_ptr<Texture2D> t = Load(Url("cut.png"));
        if (t) {
            EXPECT_EQ(out, "") << n << " bytes";
            EXPECT_EQ(std::make_pair(t->width, t->height), std::make_pair(6u, 5u)) << n << " bytes";
            continue;
        }
        ++refused;
        EXPECT_EQ(out.rfind("SDLImageLoader::Load(): ", 0), 0u) << n << " bytes: " << out;
        EXPECT_EQ(out.find('\n'), out.size() - 1) << n << " bytes: " << out;
    }
    EXPECT_GT(refused, int(full.size()) / 2);
}

}  // namespace
