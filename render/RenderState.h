// The unit of GL state: every change the renderer makes before a draw, and the
// draw itself, is a RenderState applied by double dispatch.
#pragma once

#include "engine/SceneObject.h"

class Renderer;

class RenderState : public SceneObject {
public:
    // Two states of the same type set the same piece of GL state, so a newer
    // one replaces an older one. Per-instance types are a class base plus an
    // offset (capability, texture type and unit).
    enum Type : unsigned int {
        RST_Blend = 0,
        RST_Uniform = 1,
        RST_Program = 2,
        RST_Material = 3,
        RST_DepthTest = 4,
        RST_Generic = 5,            // 5..15, plus capability
        RST_Geometry = 16,
        RST_StencilTest = 17,
        RST_TextureSampler = 18,    // 18..49, plus texture type + 4 * unit
        RST_Texture = 50,           // 50..81, plus texture type + 4 * unit
        RST_Count = 82,
        // Returned by a state whose fields cannot be expressed as a type;
        // queues and the scene manager refuse it.
        RST_Invalid = 0xFFFFFFFFu,
    };

    SceneObjectType GetObjectType() const override { return SOT_RenderState; }

    // Calls renderer->AssignState(this) with this state's own class.
    virtual void AssignToRenderer(Renderer* renderer) = 0;
    virtual Type GetRenderStateBaseType() const = 0;
    virtual Type GetRenderStateType() const = 0;
    // Per-frame hook, called for the states of every updated pass and node.
    virtual void Update(float time);

    static bool IsValidType(unsigned int type) { return type < RST_Count; }
};
