// Binds a texture to a texture unit; one state type per texture type and unit.
#pragma once

#include "render/RenderState.h"

class Texture;

class TextureState : public RenderState {
public:
    static constexpr unsigned int kUnitCount = 8;
    static constexpr unsigned int kTextureTypeCount = 4;

    // A unit above 7 is refused, not clamped: only units 0..7 have sampler
    // uniforms, so such a texture could never be read, and moving it to unit 7
    // would displace the texture that belongs there. The refusal is reported
    // here, and the state's type is invalid so that queues drop it.
    explicit TextureState(Texture* texture = nullptr, unsigned int unit = 0);

    void AssignToRenderer(Renderer* renderer) override;
    Type GetRenderStateBaseType() const override { return RST_Texture; }
    // Base + texture type + 4 * unit; invalid without a texture, with a
    // texture type outside 0..3 or a unit outside 0..7.
    Type GetRenderStateType() const override;

    Texture* texture;  // not owned
    unsigned int unit;

protected:
    TextureState(Texture* texture, unsigned int unit, const char* className);
};
