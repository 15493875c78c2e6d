// Image2D records.
#include "m3g/Image2D.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/Scene.h"
#include "engine/SharedBytes.h"
#include "engine/Texture.h"
#include "engine/Texture2D.h"

namespace M3G {

Image2D::Image2D(DataSource* source, Loader* loader)
    : ImageBase(source, loader),
      flag(false),
      levelCount(0),
      levels(nullptr),
      converted(false),
      textureFormat(kNoFormat),
      texturePixels(nullptr),
      textureBytes(0) {
    paletteLength = ReadU32(source);
    palette = ReadBlock(source, &paletteLength, 1);
    pixelLength = ReadU32(source);
    pixels = ReadBlock(source, &pixelLength, 1);
    if (loader->GetVersion() != 1) return;
    flag = ReadBool(source);
    levelCount = ReadU8(source);
    // A level takes at least its kind byte and its length.
    levels = NewArray<Level>(source, &levelCount, 5);
    for (unsigned int i = 0; i < levelCount; ++i) {
        levels[i].kind = ReadU8(source);
        levels[i].length = ReadU32(source);
        levels[i].data = ReadBlock(source, &levels[i].length, 1);
    }
}

Image2D::~Image2D() {
    delete[] palette;
    delete[] pixels;
    for (unsigned int i = 0; i < levelCount; ++i) delete[] levels[i].data;
    delete[] levels;
    SharedBytes::Release(texturePixels);
}

void Image2D::ConvertPixels() {
    if (converted) return;
    converted = true;
    unsigned int size = PixelSize();
    switch (format) {
    case F_Alpha:
        textureFormat = ::Texture::TF_Alpha8;
        break;
    case F_Luminance:
        textureFormat = ::Texture::TF_Luminance8;
        break;
    case F_LuminanceAlpha:
        textureFormat = ::Texture::TF_Luminance16;
        break;
    case F_RGB:
        textureFormat = ::Texture::TF_RGB8;
        break;
    case F_RGBA:
        textureFormat = ::Texture::TF_RGBA8;
        break;
    default:
        printf("M3G::Image2D::CreateTexture(): unsupported format %u, no pixels\n", format);
        return;
    }
    // The pixel data must cover the whole image: the upload reads that much.
    uint64_t count = uint64_t(width) * height;
    uint64_t needed = palette ? count : count * size;
    if (count == 0 || needed > pixelLength) {
        printf("M3G::Image2D::CreateTexture(): %ux%u image needs %llu B, holds %u, no pixels\n",
               width, height, (unsigned long long)needed, pixelLength);
        return;
    }
    size_t row = size_t(width) * size;
    size_t paddedRow = (row + 3) & ~size_t(3);
    // A palette image of 1 B per pixel grows to 4 B per pixel here.
    if (!loader->Charge(paddedRow * height)) return;
    unsigned char* out = SharedBytes::New(paddedRow * height);
    memset(out, 0, paddedRow * height);
    for (unsigned int y = 0; y < height; ++y) {
        unsigned char* dst = out + paddedRow * y;
        if (!palette) {
            memcpy(dst, pixels + row * y, row);
            continue;
        }
        for (unsigned int x = 0; x < width; ++x) {
            // An index past the palette leaves its pixel zero.
            size_t entry = size_t(pixels[size_t(y) * width + x]) * size;
            if (entry + size <= paletteLength)
                memcpy(dst + size_t(x) * size, palette + entry, size);
        }
    }
    textureBytes = paddedRow * height;
    texturePixels = out;
}

::Texture2D* Image2D::CreateTexture() {
    ConvertPixels();
    // Each texture holds a copy on the GPU, so its pixels count for each,
    // though the CPU keeps one.
    if (!loader->Charge(sizeof(::Texture2D) + textureBytes)) return nullptr;
    MakeRoom(&loader->GetScene()->objects, 1);
    ::Texture2D* texture = new ::Texture2D();
    loader->GetScene()->objects.Add(texture);
    texture->mipmapped = false;
    if (textureFormat == kNoFormat) return texture;
    texture->format = textureFormat;
    if (!texturePixels) return texture;
    texture->SharePixels(texturePixels);
    texture->width = width;
    texture->height = height;
    return texture;
}

}  // namespace M3G
