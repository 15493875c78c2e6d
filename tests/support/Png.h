// Reads PNG files written by the player's capture into RGB pixels, rows top-down.
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

// False when the file is missing or not an 8-bit RGB or RGBA PNG.
bool ReadPng(const std::string& path, RgbImage* out);
bool WritePng(const std::string& path, const RgbImage& image);

}  // namespace testsupport
