// Uploads one uniform to the bound program; the queue resends uniforms after
// every program change instead of deduplicating them.
#pragma once

#include "render/RenderState.h"

class Uniform;

class UniformState : public RenderState {
public:
    explicit UniformState(Uniform* uniform = nullptr);

    void AssignToRenderer(Renderer* renderer) override;
    Type GetRenderStateBaseType() const override { return RST_Uniform; }
    Type GetRenderStateType() const override { return RST_Uniform; }
    // Evaluates an animation bound to the uniform's value.
    void Update(float time) override;

    Uniform* uniform;  // not owned
};
