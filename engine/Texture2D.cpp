// 2D textures.
#include "engine/Texture2D.h"

#include "engine/ResourceManager.h"

Texture2D::Texture2D() : pixels(nullptr), width(0), height(0) {}

Texture2D::~Texture2D() { delete[] pixels; }

ResourceInitializer* Texture2D::CreateInitializer(ResourceManager* manager) {
    return manager->CreateInitializer(static_cast<Texture*>(this));
}
