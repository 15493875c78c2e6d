// vomra-contact: frames shrunk and laid out in rows; its refusals.
#include <gtest/gtest.h>

#include "support/Png.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

RgbImage Flat(unsigned int width, unsigned int height, unsigned char r, unsigned char g,
              unsigned char b) {
    RgbImage image;
    image.width = width;
    image.height = height;
    for (unsigned int i = 0; i < width * height; ++i) image.rgb.insert(image.rgb.end(), {r, g, b});
    return image;
}

CommandResult Contact(std::vector<std::string> args) {
    args.insert(args.begin(), BinaryPath("vomra-contact"));
    return Run(args);
}

void ExpectPixel(const RgbImage& image, unsigned int x, unsigned int y, int r, int g, int b) {
    const unsigned char* p = image.At(x, y);
    EXPECT_EQ(r, p[0]) << x << "," << y;
    EXPECT_EQ(g, p[1]) << x << "," << y;
    EXPECT_EQ(b, p[2]) << x << "," << y;
}

}  // namespace

TEST(ContactSheet, ShrinksFramesIntoRowsWithBorders) {
    TempDir dir;
    // 40 x 20 frames: a red one, a half black, half white one, and a blue one
    // that starts the second row.
    RgbImage split = Flat(40, 20, 0, 0, 0);
    for (unsigned int y = 0; y < 20; ++y)
        for (unsigned int x = 20; x < 40; ++x)
            for (int c = 0; c < 3; ++c) split.rgb[(y * 40 + x) * 3 + c] = 255;
    ASSERT_TRUE(WritePng(dir.File("a.png"), Flat(40, 20, 200, 10, 10)));
    ASSERT_TRUE(WritePng(dir.File("b.png"), split));
    ASSERT_TRUE(WritePng(dir.File("c.png"), Flat(40, 20, 10, 10, 200)));
    CommandResult run = Contact({dir.File("sheet.png"), "2", "10", dir.File("a.png"),
                                 dir.File("b.png"), dir.File("c.png")});
    ASSERT_EQ(0, run.exitCode) << run.err;
    // Two columns of 10-pixel thumbnails (5 high) with 4-pixel gaps.
    EXPECT_EQ(dir.File("sheet.png") + ": 3 frames, 32 x 22\n", run.out);
    RgbImage sheet;
    ASSERT_TRUE(ReadPng(dir.File("sheet.png"), &sheet));
    ASSERT_EQ(32u, sheet.width);
    ASSERT_EQ(22u, sheet.height);
    ExpectPixel(sheet, 0, 0, 16, 16, 20);
    ExpectPixel(sheet, 4, 4, 200, 10, 10);
    ExpectPixel(sheet, 13, 8, 200, 10, 10);
    ExpectPixel(sheet, 14, 4, 16, 16, 20);
    // Each thumbnail pixel is the mean of a 4 x 4 block: the halves stay apart.
    ExpectPixel(sheet, 18, 6, 0, 0, 0);
    ExpectPixel(sheet, 23, 6, 255, 255, 255);
    ExpectPixel(sheet, 4, 13, 10, 10, 200);
    ExpectPixel(sheet, 18, 13, 16, 16, 20);  // the empty cell
}

TEST(ContactSheet, RefusesBadArgumentsAndUnreadableFrames) {
    TempDir dir;
    const std::string usage = "usage: vomra-contact OUT.png COLUMNS WIDTH FRAME.png...\n";
    ASSERT_TRUE(WriteFile(dir.File("not.png"), "plain text, not a picture"));
    ASSERT_TRUE(WritePng(dir.File("a.png"), Flat(8, 8, 1, 2, 3)));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{dir.File("s.png"), "2", "10"},
          {dir.File("s.png"), "0", "10", dir.File("a.png")},
          {dir.File("s.png"), "2", "-5", dir.File("a.png")},
          {dir.File("s.png"), "2", "10x", dir.File("a.png")}}) {
        CommandResult run = Contact(args);
        EXPECT_EQ(2, run.exitCode);
        EXPECT_EQ(usage, run.err);
    }
    for (const std::string& frame : {dir.File("not.png"), dir.File("missing.png")}) {
        CommandResult run = Contact({dir.File("s.png"), "2", "10", dir.File("a.png"), frame});
        EXPECT_EQ(1, run.exitCode);
        EXPECT_EQ("vomra-contact: can't read " + frame + " as a PNG picture\n", run.err);
    }
    EXPECT_FALSE(FileExists(dir.File("s.png")));
    CommandResult unwritable = Contact({dir.File("no/s.png"), "2", "10", dir.File("a.png")});
    EXPECT_EQ(1, unwritable.exitCode);
    EXPECT_EQ("vomra-contact: can't write " + dir.File("no/s.png") + "\n", unwritable.err);
}
