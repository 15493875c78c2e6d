// Texture2D records.
#include "m3g/Texture2D.h"

#include "engine/Texture2D.h"
#include "m3g/Image2D.h"
#include "math/Transform.h"
#include "render/TextureSamplerState.h"

namespace M3G {

Texture2D::Texture2D(DataSource* source, Loader* loader)
    : Texture(source, loader), texture(nullptr) {
    ReadBytes(source, blendColor, 4);
    blending = ReadU8(source);
    wrappingS = ReadU8(source);
    wrappingT = ReadU8(source);
    if (loader->GetVersion() == 0) {
        levelFilter = ReadU8(source);
        imageFilter = ReadU8(source);
    }
}

::Texture2D* Texture2D::CreateTexture() {
    if (texture) return texture;
    Image2D* picture = static_cast<Image2D*>(loader->GetObject(image, T_Image2D));
    ::Texture2D* made = picture ? picture->CreateTexture() : nullptr;
    if (!made) return nullptr;
    made->id = userID;
    Transform transform;
    GetTransform(&transform);
    transform.CalculateComposite(&made->textureMatrix);
    texture = made;
    return texture;
}

void Texture2D::GetSamplerParameters(TextureSamplerState* state) {
    state->wrapS = SamplerWrapMode(WrapMode(wrappingS));
    state->wrapT = SamplerWrapMode(WrapMode(wrappingT));
    state->magFilter = SamplerFilterMode(Filter(imageFilter));
    state->minFilter = state->magFilter;
    state->mipmapFilter = SamplerFilterMode(Filter(levelFilter));
}

unsigned int Texture2D::SamplerWrapMode(WrapMode mode) {
    return mode == W_Clamp ? 2 : 0;
}

}  // namespace M3G
