// Decoding images into textures: 24- and 32-bit images become RGB and RGBA
// textures stored bottom-up with the decoder's row pitch; everything else is
// refused, and damaged data is reported without a crash.
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/SDLImageLoader.h"
#include "app/SDLPlatform.h"
#include "engine/Texture2D.h"
#include "support/TestSupport.h"

using testsupport::CaptureFd;
using testsupport::TempDir;

namespace {

typedef std::vector<unsigned char> Bytes;

// Every byte different, so a misplaced row or channel shows.
Bytes Ramp(size_t n, unsigned char first) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = (unsigned char)(first + i * 7);
    return b;
}

// Writes rows of `channels` bytes per pixel (format as libpng names it);
// colormap only for the colour-mapped format.
bool WritePng(const std::string& path, unsigned width, unsigned height, png_uint_32 format,
              const Bytes& pixels, const Bytes* colormap = nullptr) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = format;
    if (colormap) image.colormap_entries = png_uint_32(colormap->size() / 3);
    int ok = png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0,
                                     colormap ? colormap->data() : nullptr);
    return ok != 0;
}

void Put16(Bytes& b, unsigned v) {
    b.push_back((unsigned char)v);
    b.push_back((unsigned char)(v >> 8));
}
void Put32(Bytes& b, unsigned v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// An uncompressed 16-bit (5-5-5) BMP of the given size.
Bytes Bmp16(unsigned width, unsigned height) {
    unsigned stride = (width * 2 + 3) & ~3u;
    Bytes b = {'B', 'M'};
    Put32(b, 54 + stride * height);
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, width);
    Put32(b, height);
    Put16(b, 1);
    Put16(b, 16);
    Put32(b, 0);  // uncompressed
    Put32(b, stride * height);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, 0);
    Put32(b, 0);
    Bytes rows = Ramp(stride * height, 3);
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

class ImageLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = Platform::current;
        Platform::current = &platform;
    }
    void TearDown() override { Platform::current = previous; }

    std::string Url(const std::string& name) const { return "file://" + dir.File(name); }

    // Loads while capturing standard output into `out`.
    Texture2D* Load(const std::string& url, std::string* out) {
        CaptureFd capture(1);
        Texture2D* texture = loader.Load(url.c_str());
        *out = capture.Stop();
        return texture;
    }

    TempDir dir;
    SDLPlatform platform;
    Platform* previous = nullptr;
    SDLImageLoader loader{nullptr};
};

typedef ImageLoaderTest ImageDecode;
typedef ImageLoaderTest ImageUnsupported;
typedef ImageLoaderTest ImageCorrupt;
typedef ImageLoaderTest ImageUrl;

TEST_F(ImageDecode, AlphaImageBecomesRgbaStoredBottomUp) {
    const unsigned w = 3, h = 2;
    Bytes file = Ramp(w * h * 4, 1);
    ASSERT_TRUE(WritePng(dir.File("a.png"), w, h, PNG_FORMAT_RGBA, file));
    std::string out;
    std::unique_ptr<Texture2D> t(Load(Url("a.png"), &out));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(out, "");
    EXPECT_EQ(t->format, unsigned(Texture::TF_RGBA8));
    EXPECT_EQ(t->width, w);
    EXPECT_EQ(t->height, h);
    ASSERT_NE(t->pixels, nullptr);
    // Texture row 0 is the image's bottom row, bytes in file order (R, G, B, A).
    const size_t row = w * 4;
    EXPECT_EQ(Bytes(t->pixels, t->pixels + row), Bytes(file.begin() + row, file.end()));
    EXPECT_EQ(Bytes(t->pixels + row, t->pixels + 2 * row), Bytes(file.begin(), file.begin() + row));
}

TEST_F(ImageDecode, RgbRowsKeepTheDecoderPitch) {
    // 5 pixels of 3 bytes: 15 bytes of data in each 16-byte row.
    const unsigned w = 5, h = 3;
    Bytes file = Ramp(w * h * 3, 40);
    ASSERT_TRUE(WritePng(dir.File("rgb.png"), w, h, PNG_FORMAT_RGB, file));
    std::string out;
    std::unique_ptr<Texture2D> t(Load(Url("rgb.png"), &out));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(out, "");
    EXPECT_EQ(t->format, unsigned(Texture::TF_RGB8));
    EXPECT_EQ(t->width, w);
    EXPECT_EQ(t->height, h);

    SDL_Surface* reference = IMG_Load(dir.File("rgb.png").c_str());
    ASSERT_NE(reference, nullptr);
    const size_t pitch = reference->pitch;
    ASSERT_EQ(pitch, 16u);
    const unsigned char* src = static_cast<const unsigned char*>(reference->pixels);
    for (unsigned r = 0; r < h; ++r) {
        const unsigned char* texRow = t->pixels + r * pitch;
        // Whole rows, padding included, last surface row first.
        EXPECT_EQ(0, memcmp(texRow, src + (h - 1 - r) * pitch, pitch)) << "row " << r;
        EXPECT_EQ(Bytes(texRow, texRow + w * 3),
                  Bytes(file.begin() + (h - 1 - r) * w * 3, file.begin() + (h - r) * w * 3))
            << "row " << r;
    }
    SDL_FreeSurface(reference);
}

TEST_F(ImageDecode, EscapedFileUrlIsDecoded) {
    Bytes file = Ramp(2 * 2 * 4, 9);
    ASSERT_TRUE(WritePng(dir.File("my pic.png"), 2, 2, PNG_FORMAT_RGBA, file));
    std::string out;
    std::unique_ptr<Texture2D> t(Load(Url("my%20pic.png"), &out));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(out, "");
    EXPECT_EQ(t->width, 2u);
}

TEST_F(ImageUnsupported, PalettedImageGivesNullSilently) {
    Bytes colormap = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
    Bytes indices = {0, 1, 2, 3, 3, 2, 1, 0};
    ASSERT_TRUE(WritePng(dir.File("p.png"), 4, 2, PNG_FORMAT_RGB_COLORMAP, indices, &colormap));
    std::string out;
    EXPECT_EQ(Load(Url("p.png"), &out), nullptr);
    EXPECT_EQ(out, "");
}

TEST_F(ImageUnsupported, GreyImageGivesNullSilently) {
    ASSERT_TRUE(WritePng(dir.File("g.png"), 4, 4, PNG_FORMAT_GRAY, Ramp(16, 0)));
    std::string out;
    EXPECT_EQ(Load(Url("g.png"), &out), nullptr);
    EXPECT_EQ(out, "");
}

TEST_F(ImageUnsupported, SixteenBitImageGivesNullSilently) {
    ASSERT_TRUE(testsupport::WriteFile(dir.File("h.bmp"), Bmp16(3, 2)));
    // The file does decode; only its pixel size is refused.
    SDL_Surface* reference = IMG_Load(dir.File("h.bmp").c_str());
    ASSERT_NE(reference, nullptr);
    EXPECT_EQ(reference->format->BytesPerPixel, 2);
    SDL_FreeSurface(reference);
    std::string out;
    EXPECT_EQ(Load(Url("h.bmp"), &out), nullptr);
    EXPECT_EQ(out, "");
}

TEST_F(ImageCorrupt, GarbageIsReported) {
    ASSERT_TRUE(testsupport::WriteFile(dir.File("junk.png"), Ramp(300, 17)));
    std::string out;
    EXPECT_EQ(Load(Url("junk.png"), &out), nullptr);
    EXPECT_EQ(out, "SDLImageLoader::Load(): Unsupported image format\n");
}

TEST_F(ImageCorrupt, EmptyFileIsReported) {
    ASSERT_TRUE(testsupport::WriteFile(dir.File("empty.png"), std::string()));
    std::string out;
    EXPECT_EQ(Load(Url("empty.png"), &out), nullptr);
    EXPECT_EQ(out, "SDLImageLoader::Load(): Unsupported image format\n");
}

// Every prefix of a valid image either decodes or is reported with one line.
TEST_F(ImageCorrupt, TruncatedImagesAreReportedNotCrashed) {
    ASSERT_TRUE(WritePng(dir.File("full.png"), 6, 5, PNG_FORMAT_RGBA, Ramp(6 * 5 * 4, 2)));
    std::string full = testsupport::ReadFile(dir.File("full.png"));
    ASSERT_GT(full.size(), 60u);
    int refused = 0;
    for (size_t n = 0; n < full.size(); ++n) {
        ASSERT_TRUE(testsupport::WriteFile(dir.File("cut.png"), full.substr(0, n)));
        std::string out;
        std::unique_ptr<Texture2D> t(Load(Url("cut.png"), &out));
        if (t) {
            EXPECT_EQ(out, "") << n << " bytes";
            EXPECT_EQ(t->width, 6u);
            EXPECT_EQ(t->height, 5u);
        } else {
            ++refused;
            EXPECT_EQ(out.rfind("SDLImageLoader::Load(): ", 0), 0u) << n << " bytes: " << out;
            EXPECT_EQ(out.find('\n'), out.size() - 1) << n << " bytes: " << out;
        }
    }
    // At least the cuts inside the header and the pixel data are refused.
    EXPECT_GT(refused, int(full.size()) / 2);
}

// Every cut of a 16-bit bitmap gives null. Cuts inside the header read as
// zeros there and decode to an empty image, refused like the whole file for
// its pixel size; the others are reported in one line.
TEST_F(ImageCorrupt, TruncatedBitmapsAreRefused) {
    Bytes full = Bmp16(5, 4);
    int reported = 0;
    for (size_t n = 0; n <= full.size(); ++n) {
        ASSERT_TRUE(testsupport::WriteFile(dir.File("cut.bmp"), Bytes(full.begin(), full.begin() + n)));
        std::string out;
        EXPECT_EQ(Load(Url("cut.bmp"), &out), nullptr) << n << " bytes";
        if (out.empty()) continue;
        ++reported;
        EXPECT_EQ(out.rfind("SDLImageLoader::Load(): ", 0), 0u) << n << " bytes: " << out;
        EXPECT_EQ(out.find('\n'), out.size() - 1) << n << " bytes: " << out;
    }
    EXPECT_GT(reported, int(full.size()) / 2);
}

TEST_F(ImageUrl, UnknownSchemeGivesNullSilently) {
    std::string out;
    EXPECT_EQ(Load("zip://images/a.png", &out), nullptr);
    EXPECT_EQ(out, "");
}

TEST_F(ImageUrl, MissingFileGivesNullAfterTheSourceReport) {
    std::string out;
    EXPECT_EQ(Load(Url("missing.png"), &out), nullptr);
    EXPECT_EQ(out, "SDLFileSource::SDLFileSource(): Can't open " + dir.File("missing.png") + "\n");
}

TEST_F(ImageUrl, WithoutPlatformGivesNull) {
    Platform::current = nullptr;
    std::string out;
    EXPECT_EQ(Load(Url("a.png"), &out), nullptr);
    EXPECT_EQ(out, "");
}

}  // namespace
