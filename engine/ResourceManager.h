// Abstract factory of resource initializers, and the list of every resource
// that exists while an engine is active.
#pragma once

#include "math/Types.h"

class Resource;
class ResourceInitializer;
class Texture;
class Material;
class Camera;
class Mesh;
class Program;
class Uniform;
class FrameBuffer;
class RenderBuffer;

class ResourceManager {
public:
    ResourceManager();
    virtual ~ResourceManager();

    // Each overload creates the backend initializer for its resource class
    // (or null for kinds without a GPU side), stores it into the resource's
    // `initializer` and returns it. No resource class is a Material; that
    // overload is never reached.
    virtual ResourceInitializer* CreateInitializer(Texture* texture) = 0;
    virtual ResourceInitializer* CreateInitializer(Material* material) = 0;
    virtual ResourceInitializer* CreateInitializer(Camera* camera) = 0;
    virtual ResourceInitializer* CreateInitializer(Mesh* mesh) = 0;
    virtual ResourceInitializer* CreateInitializer(Program* program) = 0;
    virtual ResourceInitializer* CreateInitializer(Uniform* uniform) = 0;
    virtual ResourceInitializer* CreateInitializer(FrameBuffer* frameBuffer) = 0;
    virtual ResourceInitializer* CreateInitializer(RenderBuffer* renderBuffer) = 0;

    // Appends unless already listed.
    void Register(Resource* resource);
    // Removes if listed; the last entry moves into the freed slot.
    void Unregister(Resource* resource);
    // Init() on every listed resource, in list order.
    void InitAll();

    Vector<Resource*> resources;  // not owned, no duplicates
};
