// Registration of resources and the lazy creation of their GPU side.
#include "engine/Resource.h"

#include "engine/Engine.h"
#include "engine/ResourceInitializer.h"
#include "engine/ResourceManager.h"

Resource::Resource() : initializer(nullptr) {
    if (Engine::activeEngine) Engine::activeEngine->GetResourceManager()->Register(this);
}

Resource::~Resource() {
    if (Engine::activeEngine) Engine::activeEngine->GetResourceManager()->Unregister(this);
    delete initializer;
    initializer = nullptr;
}

void Resource::Init() {
    if (!initializer) {
        if (!Engine::activeEngine) return;
        CreateInitializer(Engine::activeEngine->GetResourceManager());
    }
    // Cameras and uniforms have no GPU side.
    if (!initializer) return;
    // A failed Init stays uninitialised, so the next call tries again.
    if (!initializer->initialized) initializer->Init();
}
