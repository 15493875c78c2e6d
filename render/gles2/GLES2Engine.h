// The OpenGL ES 2.0 engine: one renderer and one resource manager, owned by
// value.
#pragma once

#include "engine/Engine.h"
#include "render/gles2/GLES2Renderer.h"
#include "render/gles2/GLES2ResourceManager.h"

class GLES2Engine : public Engine {
public:
    GLES2Engine();

    // Needs a current GL context.
    void Init() override;
    Renderer* GetRenderer() const override;
    ResourceManager* GetResourceManager() const override;

    // Constructed in this order.
    GLES2Renderer renderer;
    GLES2ResourceManager resourceManager;
};
