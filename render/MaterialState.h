// Lighting material handed to shaders as the material uniforms.
#pragma once

#include "math/Vec4.h"
#include "render/RenderState.h"

class MaterialState : public RenderState {
public:
    MaterialState();

    void AssignToRenderer(Renderer* renderer) override;
    Type GetRenderStateBaseType() const override { return RST_Material; }
    Type GetRenderStateType() const override { return RST_Material; }

    Vec4 ambient;
    Vec4 diffuse;
    Vec4 specular;
    Vec4 emission;
    Vec4 base;
    float shininess;
};
