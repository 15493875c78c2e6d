// Fields of every texture: its image and filters.
#pragma once

#include "m3g/Transformable.h"

class Texture2D;
class TextureSamplerState;

namespace M3G {

class Texture : public Transformable {
public:
    enum Filter { F_BaseLevel = 208, F_Linear = 209, F_Nearest = 210 };

    Texture(DataSource* source, Loader* loader);

    // The engine texture, or null when the image does not resolve or the
    // loader's budget is spent.
    virtual ::Texture2D* CreateTexture() = 0;
    virtual void GetSamplerParameters(TextureSamplerState* state) = 0;
    // 210 (nearest) gives nearest, anything else linear.
    static unsigned int SamplerFilterMode(Filter filter);

    unsigned int image;  // object index of an Image2D
    unsigned int levelFilter;
    unsigned int imageFilter;
};

}  // namespace M3G
