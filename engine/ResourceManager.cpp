// The registry of live resources.
#include "engine/ResourceManager.h"

#include "engine/Resource.h"

ResourceManager::ResourceManager() {}

ResourceManager::~ResourceManager() {}

void ResourceManager::Register(Resource* resource) {
    if (resources.Contains(resource)) return;
    resources.Add(resource);
}

void ResourceManager::Unregister(Resource* resource) {
    // Order is not kept: the last entry moves into the freed slot.
    resources.Remove(resource);
}

void ResourceManager::InitAll() {
    // The count is re-read each time: an Init may register further resources.
    for (unsigned int i = 0; i < resources.Size(); ++i) resources[i]->Init();
}
