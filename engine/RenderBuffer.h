// Renderbuffer: storage a framebuffer renders into but shaders cannot read.
#pragma once

#include "engine/RenderTarget.h"
#include "engine/Resource.h"

class RenderBuffer : public Resource, public RenderTarget {
public:
    enum Format {
        RBF_RGB565 = 0,
        RBF_RGBA4 = 1,
        RBF_RGB5_A1 = 2,
        RBF_Depth16 = 3,
        RBF_Stencil8 = 4,
    };
    static const unsigned int kFormatCount = 5;

    // Size 0, 16-bit depth: what demo targets attach for depth.
    RenderBuffer();

    unsigned int GetType() const override { return RT_RenderBuffer; }
    unsigned int GetRenderTargetType() const override { return RTT_RenderBuffer; }
    ResourceInitializer* CreateInitializer(ResourceManager* manager) override;

    unsigned int width;
    unsigned int height;
    unsigned int format;  // Format
};
