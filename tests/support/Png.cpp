#include "support/Png.h"

#include <png.h>

#include <cstdio>

namespace testsupport {

bool ReadPng(const std::string& path, RgbImage* out) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    int type = png_get_color_type(png, info);
    if (png_get_bit_depth(png, info) != 8 || (type != PNG_COLOR_TYPE_RGB && type != PNG_COLOR_TYPE_RGBA)) {
        png_destroy_read_struct(&png, &info, nullptr);
        fclose(file);
        return false;
    }
    if (type == PNG_COLOR_TYPE_RGBA) png_set_strip_alpha(png);
    png_read_update_info(png, info);
    out->width = width;
    out->height = height;
    out->rgb.assign(size_t(width) * height * 3, 0);
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, &out->rgb[size_t(y) * width * 3], nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return true;
}

bool WritePng(const std::string& path, const RgbImage& image) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (unsigned int y = 0; y < image.height; ++y)
        png_write_row(png, const_cast<unsigned char*>(image.At(0, y)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0;
}

}  // namespace testsupport
