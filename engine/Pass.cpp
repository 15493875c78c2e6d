// Engine pass: construction, assignment and the animated enable switch.
#include "engine/Pass.h"

#include "engine/Animation.h"

Pass::Pass(SceneNode* scene, SceneNode* cameraNode, FrameBuffer* frameBuffer,
           bool clearColorEnabled, Vec4 clearColor, bool clearDepthEnabled, float clearDepth,
           bool clearStencilEnabled, unsigned char clearStencil)
    : scene(scene), cameraNode(cameraNode), frameBuffer(frameBuffer),
      clearColorEnabled(clearColorEnabled), clearColor(clearColor),
      clearDepthEnabled(clearDepthEnabled), clearDepth(clearDepth),
      clearStencilEnabled(clearStencilEnabled), clearStencil(clearStencil), states(10, 10),
      enabled(true) {}

Pass& Pass::operator=(const Pass& other) {
    // Appending a pass's states to themselves would only double them.
    if (this == &other) return *this;
    scene = other.scene;
    cameraNode = other.cameraNode;
    frameBuffer = other.frameBuffer;
    clearColorEnabled = other.clearColorEnabled;
    clearColor = other.clearColor;
    clearDepthEnabled = other.clearDepthEnabled;
    clearDepth = other.clearDepth;
    clearStencilEnabled = other.clearStencilEnabled;
    clearStencil = other.clearStencil;
    for (unsigned int i = 0; i < other.states.Size(); ++i) states.Add(other.states[i]);
    return *this;
}

void Pass::Update(float time) {
    Animation* animation = bindings[P_Enable];
    if (!animation) return;
    float v = 0.0f;
    animation->GetChannelValues(time, &v, 0, 0, 0);
    // Off in [-0.5, 0.5), on everywhere else, below -0.5 included.
    enabled = !(v >= -0.5f && v < 0.5f);
}
