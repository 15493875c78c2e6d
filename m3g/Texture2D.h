// A 2D texture: image, wrapping and (1.0 files) filters.
#pragma once

#include "m3g/Texture.h"

namespace M3G {

class Texture2D : public Texture {
public:
    enum WrapMode { W_Clamp = 240, W_Repeat = 241 };

    Texture2D(DataSource* source, Loader* loader);
    Type GetType() const override { return T_Texture2D; }
    // The record's engine texture, made on the first call: appearances that
    // name one texture share it, as nothing changes a texture after loading
    // (each use still gets its own texture and sampler states).
    ::Texture2D* CreateTexture() override;
    void GetSamplerParameters(TextureSamplerState* state) override;
    // 240 (clamp) gives clamp to edge, anything else repeat.
    static unsigned int SamplerWrapMode(WrapMode mode);

    unsigned char blendColor[4];
    unsigned int blending;
    unsigned int wrappingS;
    unsigned int wrappingT;
    ::Texture2D* texture;  // conversion cache; owned by the scene
};

}  // namespace M3G
