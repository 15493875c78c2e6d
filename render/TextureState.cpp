// Texture binding state: per-unit type and renderer dispatch.
#include "render/TextureState.h"

#include <cstdio>

#include "engine/Texture.h"
#include "render/Renderer.h"

TextureState::TextureState(Texture* texture, unsigned int unit)
    : TextureState(texture, unit, "TextureState") {}

TextureState::TextureState(Texture* texture, unsigned int unit, const char* className)
    : texture(texture), unit(unit) {
    if (unit >= kUnitCount)
        printf("%s: texture unit %u out of range 0..7, state ignored\n", className, unit);
}

void TextureState::AssignToRenderer(Renderer* renderer) { renderer->AssignState(this); }

RenderState::Type TextureState::GetRenderStateType() const {
    // texture and unit are public and may change after construction; an
    // unrecognised texture type (4) would otherwise run into the next unit
    // or past the last type.
    if (!texture || unit >= kUnitCount) return RST_Invalid;
    unsigned int textureType = texture->GetTextureType();
    if (textureType >= kTextureTypeCount) return RST_Invalid;
    return Type(GetRenderStateBaseType() + textureType + kTextureTypeCount * unit);
}
