// Backend half of a resource: creates, deletes and refreshes the GPU objects
// described by the owning resource.
#pragma once

class Resource;

class ResourceInitializer {
public:
    ResourceInitializer();
    virtual ~ResourceInitializer();

    // Creates the GPU objects and uploads; returns whether it succeeded. A
    // failed Init leaves `initialized` false so that the next call retries.
    virtual bool Init() = 0;
    // Deletes the GPU objects if `initialized`, then clears it.
    virtual void Deinit() = 0;
    // Re-sends data its owner marked dynamic; nothing by default.
    virtual void UpdateDynamic();

    bool initialized;
    Resource* resource;  // not owned
};
