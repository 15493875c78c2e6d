// Texture base fields.
#include "m3g/Texture.h"

namespace M3G {

Texture::Texture(DataSource* source, Loader* loader)
    : Transformable(source, loader), levelFilter(F_BaseLevel), imageFilter(F_Nearest) {
    image = ReadU32(source);
    // 1.0 files give the filters after the Texture2D fields.
    if (loader->GetVersion() == 1) {
        levelFilter = ReadU8(source);
        imageFilter = ReadU8(source);
    }
}

unsigned int Texture::SamplerFilterMode(Filter filter) {
    return filter == F_Nearest ? 0 : 1;
}

}  // namespace M3G
