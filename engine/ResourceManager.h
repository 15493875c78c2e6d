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
    ResourceManager(const ResourceManager&) = delete;
    ResourceManager& operator=(const ResourceManager&) = delete;

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

    // Appends unless already listed. Amortised constant time: scripts may
    // make millions of resources.
    void Register(Resource* resource);
    // Removes if listed; the last entry moves into the freed slot. Constant time.
    void Unregister(Resource* resource);
    // Init() on every listed resource, in list order.
    void InitAll();

    Vector<Resource*> resources;  // not owned, no duplicates

private:
    // Where each listed resource sits in `resources`: an open-addressing
    // table (linear probing, power-of-two size, at most half full), so a
    // lookup is usually one probe and no entry has a block of its own.
    struct Slot {
        Resource* resource;  // null: free
        unsigned int position;
    };
    static constexpr unsigned int kNoSlot = ~0u;
    unsigned int Home(const Resource* resource) const;
    unsigned int FindSlot(const Resource* resource) const;
    // Makes room for one more entry; throws std::bad_alloc, changing nothing, when it cannot.
    void ReserveSlot();
    void EraseSlot(unsigned int slot);

    Slot* slots;
    unsigned int slotCount;  // 0 or a power of two
    unsigned int slotShift;  // 64 - log2(slotCount)
    unsigned int slotsUsed;
};
