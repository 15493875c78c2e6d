// GPU-backed engine object: holds the CPU-side description; its GPU side is
// made by an initializer that the active engine's resource manager creates.
#pragma once

#include "engine/SceneObject.h"

class ResourceInitializer;
class ResourceManager;

class Resource : public SceneObject {
public:
    // Resource kinds returned by GetType().
    enum ResourceType {
        RT_Camera = 0,
        RT_Mesh = 1,
        RT_SkinnedMesh = 2,
        RT_Texture = 3,
        RT_Program = 4,
        RT_Uniform = 5,
        RT_FrameBuffer = 6,
        RT_RenderBuffer = 7,
    };

    // Registers with the active engine's manager, if an engine exists.
    Resource();
    // Unregisters and deletes the initializer without calling Deinit(); a
    // backend initializer releases its GPU objects as it is deleted.
    ~Resource() override;
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    SceneObjectType GetObjectType() const override { return SOT_Resource; }
    virtual unsigned int GetType() const = 0;
    // Double dispatch: one call to the manager overload for the concrete
    // class, which stores the new initializer into `initializer`.
    virtual ResourceInitializer* CreateInitializer(ResourceManager* manager) = 0;

    // Makes sure the GPU side exists: creates the initializer on first use,
    // then initialises it unless it already is.
    void Init();

    ResourceInitializer* initializer;  // owned; null until the backend made one
};
