// A 2D image: pixels, or palette indices and a palette.
#pragma once

#include <cstddef>

#include "m3g/ImageBase.h"

namespace M3G {

class Image2D : public ImageBase {
public:
    struct Level {
        unsigned int kind;
        unsigned int length;
        unsigned char* data;  // owned
    };

    Image2D(DataSource* source, Loader* loader);
    ~Image2D() override;
    Type GetType() const override { return T_Image2D; }
    // A new engine texture of the image (null past the loader's budget). GL
    // reads rows aligned to 4 bytes, so each row is padded to a multiple of
    // 4. An image whose pixel data is shorter than its size, or of an unknown
    // format, gets no pixels. Every texture of the image shares one block of
    // converted pixels.
    ::Texture2D* CreateTexture() override;

    unsigned int paletteLength;  // bytes; 0 without a palette
    unsigned char* palette;      // owned
    unsigned int pixelLength;    // bytes
    unsigned char* pixels;       // owned; rows tightly packed
    bool flag;                   // 2.0 files only
    unsigned int levelCount;
    Level* levels;  // owned

private:
    static const unsigned int kNoFormat = ~0u;
    // The texture format and the padded rows, made on the first call.
    void ConvertPixels();

    bool converted;
    unsigned int textureFormat;    // kNoFormat for an unknown image format
    unsigned char* texturePixels;  // SharedBytes block, one reference held; null without pixels
    size_t textureBytes;
};

}  // namespace M3G
