// Wrap and filter parameters of the texture bound to one unit.
#pragma once

#include "render/TextureState.h"

class TextureSamplerState : public TextureState {
public:
    enum Wrap : unsigned int { WM_REPEAT = 0, WM_NONE = 1, WM_CLAMP_TO_EDGE = 2 };
    enum Filter : unsigned int { FM_NEAREST = 0, FM_LINEAR = 1 };

    // Same unit rule as TextureState: a unit above 7 is refused.
    explicit TextureSamplerState(Texture* texture = nullptr, unsigned int unit = 0);

    void AssignToRenderer(Renderer* renderer) override;
    Type GetRenderStateBaseType() const override { return RST_TextureSampler; }

    unsigned int wrapS;
    unsigned int wrapT;
    unsigned int wrapR;  // not used by the renderer
    unsigned int magFilter;
    unsigned int minFilter;
    unsigned int mipmapFilter;  // only for mipmapped textures
};
