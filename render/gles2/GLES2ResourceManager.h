// Resource manager of the OpenGL ES 2.0 backend: makes the GLES2 initializer
// of each resource kind that has a GPU side.
#pragma once

#include "engine/ResourceManager.h"

class GLES2ResourceManager : public ResourceManager {
public:
    // Each overload makes a fresh, uninitialised initializer, stores it into
    // the resource's `initializer` and returns it; kinds without a GPU side
    // (materials, cameras, uniforms) get none.
    ResourceInitializer* CreateInitializer(Texture* texture) override;
    ResourceInitializer* CreateInitializer(Material* material) override;
    ResourceInitializer* CreateInitializer(Camera* camera) override;
    ResourceInitializer* CreateInitializer(Mesh* mesh) override;
    ResourceInitializer* CreateInitializer(Program* program) override;
    ResourceInitializer* CreateInitializer(Uniform* uniform) override;
    ResourceInitializer* CreateInitializer(FrameBuffer* frameBuffer) override;
    ResourceInitializer* CreateInitializer(RenderBuffer* renderBuffer) override;
};
