// Framebuffer: up to eight colour targets plus depth and stencil.
#pragma once

#include "engine/Resource.h"

class RenderTarget;

class FrameBuffer : public Resource {
public:
    enum Attachment {
        A_Color0 = 0,
        A_Color1 = 1,
        A_Color2 = 2,
        A_Color3 = 3,
        A_Color4 = 4,
        A_Color5 = 5,
        A_Color6 = 6,
        A_Color7 = 7,
        A_Depth = 8,
        A_Stencil = 9,
    };
    static const unsigned int kAttachmentCount = 10;

    FrameBuffer();

    unsigned int GetType() const override { return RT_FrameBuffer; }
    ResourceInitializer* CreateInitializer(ResourceManager* manager) override;

    // Replaces any earlier target of that slot. Takes effect at Init only.
    void Attach(Attachment attachment, RenderTarget* target);

    RenderTarget* attachments[kAttachmentCount];  // not owned
};
