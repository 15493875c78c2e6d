#include "support/Png.h"

#include <png.h>

namespace testsupport {

bool ReadPng(const std::string& path, RgbImage* out) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    out->width = image.width;
    out->height = image.height;
    out->rgb.assign(PNG_IMAGE_SIZE(image), 0);
    return png_image_finish_read(&image, nullptr, out->rgb.data(), 0, nullptr) != 0;
}

bool WritePng(const std::string& path, unsigned int width, unsigned int height,
              unsigned int channels, const std::vector<unsigned char>& pixels) {
    if (channels != 1 && channels != 3 && channels != 4) return false;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = channels == 1 ? PNG_FORMAT_GRAY : channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
    return pixels.size() >= PNG_IMAGE_SIZE(image) &&
           png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

}  // namespace testsupport
