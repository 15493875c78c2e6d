// Texture resources: the format and sampling fields shared by 2D and cube
// textures.
#pragma once

#include "engine/Resource.h"
#include "math/Mat4.h"

class Texture : public Resource {
public:
    enum TextureType {
        TT_None = 0,
        TT_2D = 1,
        TT_Unused = 2,
        TT_Cube = 3,
        TT_Unknown = 4,  // stands for an unrecognised type
    };
    enum TextureFormat {
        TF_Alpha8 = 0,
        TF_Luminance8 = 1,
        TF_RGB8 = 2,
        TF_RGBA8 = 3,
        TF_Alpha16 = 4,
        TF_Luminance16 = 5,
        TF_RGB16 = 6,
        TF_RGBA16 = 7,
        // 8..12 have a pixel size but no upload format.
        TF_Unknown = 13,  // stands for an unrecognised format
    };
    static const unsigned int kFormatCount = 13;
    // Bytes per pixel, by format 0..12.
    static const unsigned int textureFormatSizes[kFormatCount];

    Texture();

    unsigned int GetType() const override { return RT_Texture; }
    virtual unsigned int GetTextureType() const = 0;

    unsigned int format;  // 0..12, 13 unrecognised
    bool mipmapped;       // mipmaps generated at upload, mipmap filtering
    Mat4 textureMatrix;   // sent as Vomra_un_TextureMatrix[unit] when bound
};
