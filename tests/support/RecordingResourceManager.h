// Test doubles for the resource side of the engine: a resource manager that
// logs every overload it receives and hands out counting initializers, and an
// engine holding it.
#pragma once

#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/ResourceInitializer.h"
#include "engine/ResourceManager.h"

// Counts Init/Deinit calls. Init fails (and leaves `initialized` false) while
// failInit is set.
class RecordingInitializer : public ResourceInitializer {
public:
    explicit RecordingInitializer(Resource* owner);
    // Reports its deletion (and how many Deinit calls it had) to `tracker`.
    ~RecordingInitializer() override;

    bool Init() override;
    void Deinit() override;
    void UpdateDynamic() override;

    int initCount = 0;    // Init calls, successful or not
    int deinitCount = 0;  // Deinit calls
    int updateCount = 0;  // UpdateDynamic calls
    bool failInit = false;

    struct Tracker {
        bool deleted = false;
        int deinitsAtDeletion = 0;
    };
    Tracker* tracker = nullptr;  // not owned
};

// Like the GL backend, makes initializers for textures, meshes, programs,
// framebuffers and renderbuffers, and none for cameras, uniforms and
// materials. Each call appends the overload's class name ("Texture", "Mesh",
// ...) to `log`.
class RecordingResourceManager : public ResourceManager {
public:
    ResourceInitializer* CreateInitializer(Texture* texture) override;
    ResourceInitializer* CreateInitializer(Material* material) override;
    ResourceInitializer* CreateInitializer(Camera* camera) override;
    ResourceInitializer* CreateInitializer(Mesh* mesh) override;
    ResourceInitializer* CreateInitializer(Program* program) override;
    ResourceInitializer* CreateInitializer(Uniform* uniform) override;
    ResourceInitializer* CreateInitializer(FrameBuffer* frameBuffer) override;
    ResourceInitializer* CreateInitializer(RenderBuffer* renderBuffer) override;

    std::vector<std::string> log;
    // Every initializer handed out, in order; owned by their resources, so an
    // entry dangles once its resource is destroyed.
    std::vector<RecordingInitializer*> created;

private:
    RecordingInitializer* Make(Resource* resource, const char* kind);
};

// Becomes Engine::activeEngine on construction and gives it up on
// destruction. The renderer is whatever the test supplies (null by default).
class RecordingEngine : public Engine {
public:
    explicit RecordingEngine(Renderer* renderer = nullptr);

    void Init() override;
    Renderer* GetRenderer() const override { return renderer; }
    ResourceManager* GetResourceManager() const override;

    RecordingResourceManager manager;
    Renderer* renderer;  // not owned
    int initCount = 0;
};
