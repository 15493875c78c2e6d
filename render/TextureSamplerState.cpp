// Sampler state defaults (repeat, linear, nearest mipmap) and renderer dispatch.
#include "render/TextureSamplerState.h"

#include "render/Renderer.h"

TextureSamplerState::TextureSamplerState(Texture* texture, unsigned int unit)
    : TextureState(texture, unit, "TextureSamplerState"), wrapS(WM_REPEAT), wrapT(WM_REPEAT),
      wrapR(WM_REPEAT), magFilter(FM_LINEAR), minFilter(FM_LINEAR), mipmapFilter(FM_NEAREST) {}

void TextureSamplerState::AssignToRenderer(Renderer* renderer) { renderer->AssignState(this); }
