// vomra-contact OUT.png COLUMNS WIDTH FRAME.png...: a contact sheet, the
// frames shrunk to WIDTH pixels across (each pixel the mean of the frame's
// pixels it covers) and laid out left to right, top to bottom, COLUMNS to a
// row, with a dark border round each. Frames may differ in size; each row is
// as tall as its tallest thumbnail.
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const unsigned int kGap = 4;          // pixels between thumbnails and round the sheet
const unsigned int kMaxSide = 16384;  // larger pictures are refused, not allocated
const unsigned char kBackground[3] = {16, 16, 20};

struct Picture {
    unsigned int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

bool ReadPicture(const char* path, Picture* out) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return false;
    if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    out->width = image.width;
    out->height = image.height;
    out->rgb.resize(size_t(image.width) * image.height * 3);
    if (!png_image_finish_read(&image, nullptr, out->rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

// Box filter: each thumbnail pixel is the mean of the source pixels whose
// centres fall in its footprint (at least one).
Picture Shrink(const Picture& in, unsigned int width) {
    Picture out;
    out.width = width < in.width ? width : in.width;
    out.height = unsigned((unsigned long long)in.height * out.width / in.width);
    if (out.height == 0) out.height = 1;
    out.rgb.resize(size_t(out.width) * out.height * 3);
    for (unsigned int y = 0; y < out.height; ++y) {
        unsigned int y0 = unsigned((unsigned long long)y * in.height / out.height);
        unsigned int y1 = unsigned((unsigned long long)(y + 1) * in.height / out.height);
        if (y1 <= y0) y1 = y0 + 1;
        for (unsigned int x = 0; x < out.width; ++x) {
            unsigned int x0 = unsigned((unsigned long long)x * in.width / out.width);
            unsigned int x1 = unsigned((unsigned long long)(x + 1) * in.width / out.width);
            if (x1 <= x0) x1 = x0 + 1;
            unsigned long sum[3] = {0, 0, 0};
            for (unsigned int sy = y0; sy < y1; ++sy)
                for (unsigned int sx = x0; sx < x1; ++sx)
                    for (int c = 0; c < 3; ++c) sum[c] += in.rgb[(size_t(sy) * in.width + sx) * 3 + c];
            unsigned long n = (unsigned long)(y1 - y0) * (x1 - x0);
            for (int c = 0; c < 3; ++c)
                out.rgb[(size_t(y) * out.width + x) * 3 + c] = (unsigned char)((sum[c] + n / 2) / n);
        }
    }
    return out;
}

bool ParseCount(const char* text, unsigned int limit, unsigned int* out) {
    char* end = nullptr;
    errno = 0;
    unsigned long v = strtoul(text, &end, 10);
    if (errno || end == text || *end || text[0] == '-' || v == 0 || v > limit) return false;
    *out = unsigned(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned int columns = 0, width = 0;
    if (argc < 5 || !ParseCount(argv[2], 64, &columns) || !ParseCount(argv[3], 4096, &width)) {
        fprintf(stderr, "usage: vomra-contact OUT.png COLUMNS WIDTH FRAME.png...\n");
        return 2;
    }
    std::vector<Picture> thumbs;
    for (int i = 4; i < argc; ++i) {
        Picture frame;
        if (!ReadPicture(argv[i], &frame)) {
            fprintf(stderr, "vomra-contact: can't read %s as a PNG picture\n", argv[i]);
            return 1;
        }
        thumbs.push_back(Shrink(frame, width));
    }
    const unsigned int count = unsigned(thumbs.size());
    const unsigned int rows = (count + columns - 1) / columns;
    const unsigned int used = count < columns ? count : columns;
    std::vector<unsigned int> rowHeight(rows, 0);
    for (unsigned int i = 0; i < count; ++i)
        if (thumbs[i].height > rowHeight[i / columns]) rowHeight[i / columns] = thumbs[i].height;
    unsigned int sheetWidth = kGap + used * (width + kGap), sheetHeight = kGap;
    for (unsigned int h : rowHeight) sheetHeight += h + kGap;

    std::vector<unsigned char> sheet(size_t(sheetWidth) * sheetHeight * 3);
    for (size_t p = 0; p < sheet.size(); p += 3) memcpy(&sheet[p], kBackground, 3);
    unsigned int top = kGap;
    for (unsigned int i = 0; i < count; ++i) {
        const Picture& t = thumbs[i];
        unsigned int left = kGap + (i % columns) * (width + kGap);
        for (unsigned int y = 0; y < t.height; ++y)
            memcpy(&sheet[(size_t(top + y) * sheetWidth + left) * 3], &t.rgb[size_t(y) * t.width * 3],
                   size_t(t.width) * 3);
        if (i % columns == columns - 1) top += rowHeight[i / columns] + kGap;
    }

    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = sheetWidth;
    image.height = sheetHeight;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, argv[1], 0, sheet.data(), 0, nullptr)) {
        fprintf(stderr, "vomra-contact: can't write %s\n", argv[1]);
        return 1;
    }
    printf("%s: %u frames, %u x %u\n", argv[1], count, sheetWidth, sheetHeight);
    return 0;
}
