// 2D texture: an image, or storage to render into.
#pragma once

#include "engine/RenderTarget.h"
#include "engine/Texture.h"

class Texture2D : public Texture, public RenderTarget {
public:
    Texture2D();
    // Releases `pixels`.
    ~Texture2D() override;

    unsigned int GetTextureType() const override { return TT_2D; }
    unsigned int GetRenderTargetType() const override { return RTT_Texture2D; }
    ResourceInitializer* CreateInitializer(ResourceManager* manager) override;

    // Makes `pixels` another reference to a SharedBytes block (releasing what
    // the texture held): textures of one scene-file image read one copy.
    void SharePixels(unsigned char* bytes);

    // As handed to glTexImage2D, rows laid out by the creator; owned (array
    // delete), or one reference when sharedPixels is set; null for render
    // targets.
    unsigned char* pixels;
    unsigned int width;
    unsigned int height;
    bool sharedPixels;  // pixels is a SharedBytes block that others may read
};
