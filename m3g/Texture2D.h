// A 2D texture: image, wrapping and (1.0 files) filters.
#pragma once

#include "m3g/Texture.h"

namespace M3G {

class Texture2D : public Texture {
public:
    enum WrapMode { W_Clamp = 240, W_Repeat = 241 };

    Texture2D(DataSource* source, Loader* loader);
    Type GetType() const override { return T_Texture2D; }
    ::Texture2D* CreateTexture() override;
    void GetSamplerParameters(TextureSamplerState* state) override;
    // 240 (clamp) gives clamp to edge, anything else repeat.
    static unsigned int SamplerWrapMode(WrapMode mode);

    unsigned char blendColor[4];
    unsigned int blending;
    unsigned int wrappingS;
    unsigned int wrappingT;
};

}  // namespace M3G
