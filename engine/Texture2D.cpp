// 2D textures.
#include "engine/Texture2D.h"

#include "engine/ResourceManager.h"
#include "engine/SharedBytes.h"

Texture2D::Texture2D() : pixels(nullptr), width(0), height(0), sharedPixels(false) {}

Texture2D::~Texture2D() { SharePixels(nullptr); }

ResourceInitializer* Texture2D::CreateInitializer(ResourceManager* manager) {
    return manager->CreateInitializer(static_cast<Texture*>(this));
}

void Texture2D::SharePixels(unsigned char* bytes) {
    if (bytes && bytes == pixels && sharedPixels) return;
    if (sharedPixels)
        SharedBytes::Release(pixels);
    else
        delete[] pixels;
    pixels = SharedBytes::Retain(bytes);
    sharedPixels = bytes != nullptr;
}
