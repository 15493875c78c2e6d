// PNG files as RGB pixels, rows top-down: the player's captures read, and
// pictures written for the tools and the image loader.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct RgbImage {
    unsigned int width = 0;
    unsigned int height = 0;
    std::vector<unsigned char> rgb;  // 3 bytes per pixel, rows top-down

    // Pixel (x, y) with y counted from the top.
    const unsigned char* At(unsigned int x, unsigned int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

// False when the file is missing or not a PNG.
bool ReadPng(const std::string& path, RgbImage* out);
// Rows top-down of 1 (grey), 3 (RGB) or 4 (RGBA) bytes a pixel.
bool WritePng(const std::string& path, unsigned int width, unsigned int height,
              unsigned int channels, const std::vector<unsigned char>& pixels);
inline bool WritePng(const std::string& path, const RgbImage& image) {
    return WritePng(path, image.width, image.height, 3, image.rgb);
}

}  // namespace testsupport
