// Fields of every image: pixel format and size.
#pragma once

#include "m3g/Object3D.h"

class Texture2D;

namespace M3G {

class ImageBase : public Object3D {
public:
    enum Format { F_Alpha = 96, F_Luminance = 97, F_LuminanceAlpha = 98, F_RGB = 99, F_RGBA = 100 };

    ImageBase(DataSource* source, Loader* loader);

    virtual ::Texture2D* CreateTexture() = 0;

    // Bytes per pixel of the format; 0 for a format the file format does not name.
    unsigned int PixelSize() const;

    unsigned int format;
    bool isMutable;
    unsigned int width;
    unsigned int height;
};

}  // namespace M3G
