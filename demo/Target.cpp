// Offscreen targets: the size rule and the rebuilding of their GPU objects.
#include "demo/Target.h"

#include <cmath>

#include "demo/Engine.h"
#include "engine/ResourceInitializer.h"

namespace Demo {

namespace {

// float to unsigned, truncated toward zero. NaN, negatives and values past
// the unsigned range (a plain cast of those is undefined) give 0 or the
// largest value.
unsigned int TruncateToUnsigned(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 4294967296.0f) return 0xFFFFFFFFu;
    return static_cast<unsigned int>(v);
}

// Rebuilds a resource's GPU side if it has one; before the engine starts
// there is none and the new size waits for InitAll.
void Recreate(Resource* resource) {
    ResourceInitializer* initializer = resource->initializer;
    if (!initializer || !initializer->initialized) return;
    initializer->Deinit();
    initializer->Init();
}

}  // namespace

Target::Target(float scale_) : width(0), height(0), scale(scale_) {
    Engine* engine = Engine::GetEngine();
    ApplySizeRule(engine->width, engine->height);
    texture.pixels = nullptr;
    texture.format = Texture::TF_RGBA8;
    texture.mipmapped = false;
    texture.width = width;
    texture.height = height;
    depthBuffer.format = RenderBuffer::RBF_Depth16;
    depthBuffer.width = width;
    depthBuffer.height = height;
    frameBuffer.Attach(FrameBuffer::A_Color0, &texture);
    frameBuffer.Attach(FrameBuffer::A_Depth, &depthBuffer);
}

Target::~Target() {}

Target* Target::New() { return New(1.0f); }

Target* Target::New(float scale) {
    Target* target = new Target(scale);
    Engine::GetEngine()->Register(target);
    return target;
}

Target* Target::Screen() { return nullptr; }

unsigned long long Target::HeldBytes() const {
    // 4 bytes of colour and 2 of depth a pixel; in double, as 2^32 x 2^32
    // would not fit.
    double pixels = double(width) * double(height) * 6.0;
    return pixels < 1e18 ? (unsigned long long)pixels + 4096 : 1000000000000000000ull;
}

void Target::ApplySizeRule(unsigned int outputWidth, unsigned int outputHeight) {
    // Exactly 1 skips the float round trip, which would lose the low bits of
    // sizes above 2^24.
    if (scale == 1.0f) {
        width = outputWidth;
        height = outputHeight;
        return;
    }
    width = TruncateToUnsigned(float(outputWidth) * scale);
    height = TruncateToUnsigned(float(outputHeight) * scale);
}

void Target::SetSize(unsigned int outputWidth, unsigned int outputHeight) {
    ApplySizeRule(outputWidth, outputHeight);
    // Attachments first, so that the framebuffer is rebuilt over storage of
    // the new size.
    depthBuffer.width = width;
    depthBuffer.height = height;
    Recreate(&depthBuffer);
    texture.width = width;
    texture.height = height;
    Recreate(&texture);
    Recreate(&frameBuffer);
}

}  // namespace Demo
