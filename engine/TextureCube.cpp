// Cube-map textures.
#include "engine/TextureCube.h"

#include "engine/ResourceManager.h"

TextureCube::TextureCube() {}

ResourceInitializer* TextureCube::CreateInitializer(ResourceManager* manager) {
    return manager->CreateInitializer(static_cast<Texture*>(this));
}
