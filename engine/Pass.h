// One rendering of one scene graph: root, camera, target, clears, the states
// applied around the whole scene, and the queue the scene manager fills.
#pragma once

#include "engine/Actor.h"
#include "engine/SceneObject.h"
#include "math/Types.h"
#include "math/Vec4.h"
#include "render/RenderQueue.h"

class SceneNode;
class FrameBuffer;
class RenderState;

class Pass : public SceneObject, public Actor {
public:
    Pass(SceneNode* scene = nullptr, SceneNode* cameraNode = nullptr,
         FrameBuffer* frameBuffer = nullptr, bool clearColorEnabled = false,
         Vec4 clearColor = Vec4(0.0f, 0.0f, 0.0f, 0.0f), bool clearDepthEnabled = false,
         float clearDepth = 1.0f, bool clearStencilEnabled = false,
         unsigned char clearStencil = 0);
    Pass(const Pass&) = delete;
    // Copies the scene, camera node, framebuffer and clear fields and appends
    // other's states to this pass's; enabled, bindings and queue stay.
    Pass& operator=(const Pass& other);

    SceneObjectType GetObjectType() const override { return SOT_Pass; }
    // Evaluates the enable animation, if one is bound.
    void Update(float time) override;

    SceneNode* scene;       // may be null: a pass of states only
    SceneNode* cameraNode;  // may be null
    FrameBuffer* frameBuffer;  // null: the renderer's default target
    bool clearColorEnabled;
    Vec4 clearColor;
    bool clearDepthEnabled;
    float clearDepth;
    bool clearStencilEnabled;
    unsigned char clearStencil;
    Vector<RenderState*> states;  // not owned
    bool enabled;
    RenderQueue queue;
};
