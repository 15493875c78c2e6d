// Draws the meshes of one scene node; every node embeds one pointing back at it.
#pragma once

#include "render/RenderState.h"

class SceneNode;

class GeometryState : public RenderState {
public:
    explicit GeometryState(SceneNode* node = nullptr);

    void AssignToRenderer(Renderer* renderer) override;
    Type GetRenderStateBaseType() const override { return RST_Geometry; }
    Type GetRenderStateType() const override { return RST_Geometry; }

    SceneNode* node;  // not owned
};
