// A resource manager for tests that need the order of GPU work across
// resources: every initializer it makes logs "Init <kind>" and "Deinit <kind>"
// into one shared sequence.
#pragma once

#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/ResourceInitializer.h"
#include "engine/ResourceManager.h"

namespace testsupport {

class SequenceInitializer : public ResourceInitializer {
public:
    SequenceInitializer(Resource* owner, const char* kind, std::vector<std::string>* sequence);

    bool Init() override;
    void Deinit() override;
    void UpdateDynamic() override;

    std::string kind;
    std::vector<std::string>* sequence;  // not owned
};

// Initializers for textures, meshes, programs, framebuffers and
// renderbuffers; none for cameras, uniforms and materials.
class SequenceResourceManager : public ResourceManager {
public:
    ResourceInitializer* CreateInitializer(Texture* texture) override;
    ResourceInitializer* CreateInitializer(Material* material) override;
    ResourceInitializer* CreateInitializer(Camera* camera) override;
    ResourceInitializer* CreateInitializer(Mesh* mesh) override;
    ResourceInitializer* CreateInitializer(Program* program) override;
    ResourceInitializer* CreateInitializer(Uniform* uniform) override;
    ResourceInitializer* CreateInitializer(FrameBuffer* frameBuffer) override;
    ResourceInitializer* CreateInitializer(RenderBuffer* renderBuffer) override;

    // "Init Texture", "Deinit FrameBuffer", "UpdateDynamic Mesh", ...
    std::vector<std::string> sequence;

private:
    ResourceInitializer* Make(Resource* resource, const char* kind);
};

// Becomes Engine::activeEngine while it lives; no renderer.
class SequenceEngine : public Engine {
public:
    Renderer* GetRenderer() const override { return nullptr; }
    ResourceManager* GetResourceManager() const override;

    SequenceResourceManager manager;
};

}  // namespace testsupport
