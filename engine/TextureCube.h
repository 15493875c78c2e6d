// Cube-map texture: a declared kind without face data of its own.
#pragma once

#include "engine/Texture.h"

class TextureCube : public Texture {
public:
    TextureCube();

    unsigned int GetTextureType() const override { return TT_Cube; }
    ResourceInitializer* CreateInitializer(ResourceManager* manager) override;
};
