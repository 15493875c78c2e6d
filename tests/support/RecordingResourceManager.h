// Test doubles for the resource side of the engine: a resource manager that
// logs, in one sequence, every initializer it is asked for and every Init and
// Deinit of the initializers it made; and an engine holding it.
#pragma once

#include <string>
#include <vector>

#include "engine/Camera.h"
#include "engine/Engine.h"
#include "engine/FrameBuffer.h"
#include "engine/Mesh.h"
#include "engine/Program.h"
#include "engine/RenderBuffer.h"
#include "engine/ResourceInitializer.h"
#include "engine/ResourceManager.h"
#include "engine/Texture.h"
#include "engine/Uniform.h"

// Appends "Init <kind>" and "Deinit <kind>" to its manager's sequence. Init
// fails (leaving `initialized` false) while failInit is set.
class RecordingInitializer : public ResourceInitializer {
public:
    RecordingInitializer(Resource* owner, const char* kind, std::vector<std::string>* sequence);
    ~RecordingInitializer() override { --live; }

    bool Init() override;
    void Deinit() override;
    // Counted, not logged: it comes every frame.
    void UpdateDynamic() override { ++updateCount; }

    std::string kind;
    std::vector<std::string>* sequence;  // the manager's; not owned
    int updateCount = 0;
    bool failInit = false;
    static int live;  // initializers made and not yet deleted
};

// Like the GL backend, makes initializers for textures, meshes, programs,
// framebuffers and renderbuffers, and none for cameras, uniforms and
// materials. Each request appends the overload's class name ("Texture", ...).
class RecordingResourceManager : public ResourceManager {
public:
    ResourceInitializer* CreateInitializer(Texture* r) override { return Make(r, "Texture"); }
    ResourceInitializer* CreateInitializer(Material*) override { return Make(nullptr, "Material"); }
    ResourceInitializer* CreateInitializer(Camera*) override { return Make(nullptr, "Camera"); }
    ResourceInitializer* CreateInitializer(Mesh* r) override { return Make(r, "Mesh"); }
    ResourceInitializer* CreateInitializer(Program* r) override { return Make(r, "Program"); }
    ResourceInitializer* CreateInitializer(Uniform*) override { return Make(nullptr, "Uniform"); }
    ResourceInitializer* CreateInitializer(FrameBuffer* r) override { return Make(r, "FrameBuffer"); }
    ResourceInitializer* CreateInitializer(RenderBuffer* r) override { return Make(r, "RenderBuffer"); }

    // "Mesh", "Init Mesh", "Deinit Mesh", ... in call order.
    std::vector<std::string> sequence;

private:
    ResourceInitializer* Make(Resource* resource, const char* kind);
};

// Becomes Engine::activeEngine on construction and gives it up on
// destruction. The renderer is whatever the test supplies (null by default).
class RecordingEngine : public Engine {
public:
    explicit RecordingEngine(Renderer* renderer_ = nullptr) : renderer(renderer_) {}

    Renderer* GetRenderer() const override { return renderer; }
    ResourceManager* GetResourceManager() const override;

    RecordingResourceManager manager;
    Renderer* renderer;  // not owned
};
