// Appearance records.
#include "m3g/Appearance.h"

namespace M3G {

Appearance::Appearance(DataSource* source, Loader* loader)
    : AppearanceBase(source, loader), extraIndex(0), polygonMode(0) {
    fog = ReadU32(source);
    if (loader->GetVersion() == 1)
        extraIndex = ReadU32(source);
    else
        polygonMode = ReadU32(source);
    material = ReadU32(source);
    textureCount = ReadU32(source);
    textures = ReadU32Array(source, &textureCount);
}

Appearance::~Appearance() {
    delete[] textures;
}

}  // namespace M3G
