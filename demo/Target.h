// An offscreen picture: a colour texture and a depth buffer in a framebuffer,
// sized from the demo's output size times a scale.
#pragma once

#include "demo/Object.h"
#include "engine/FrameBuffer.h"
#include "engine/RenderBuffer.h"
#include "engine/Texture2D.h"

namespace Demo {

class Target : public Object {
public:
    // Sized from the demo engine's current output size.
    explicit Target(float scale);
    // Members go in reverse order: depth buffer, texture, framebuffer.
    ~Target() override;

    static Target* New();
    static Target* New(float scale);
    // The screen is the null target.
    static Target* Screen();

    // Applies the size rule to the output size and rebuilds whatever GPU
    // objects exist: depth buffer, texture, then the framebuffer over them.
    void SetSize(unsigned int outputWidth, unsigned int outputHeight);
    // Colour and depth at the size it has now, and its three GL objects.
    unsigned long long HeldBytes() const override;

    FrameBuffer frameBuffer;  // colour 0: texture, depth: depthBuffer
    Texture2D texture;        // RGBA8, no mipmaps, no pixels
    RenderBuffer depthBuffer; // 16-bit depth
    unsigned int width;
    unsigned int height;
    float scale;  // 1 exactly: the output size unmultiplied

private:
    void ApplySizeRule(unsigned int outputWidth, unsigned int outputHeight);
};

}  // namespace Demo
