// Something a framebuffer can attach: a 2D texture or a renderbuffer.
#pragma once

class RenderTarget {
public:
    enum RenderTargetType {
        RTT_Texture2D = 0,
        RTT_RenderBuffer = 1,
    };

    virtual ~RenderTarget() {}
    virtual unsigned int GetRenderTargetType() const = 0;
};
