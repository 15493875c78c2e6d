// Recording resource manager and the test engine holding it.
#include "support/RecordingResourceManager.h"

int RecordingInitializer::live = 0;

RecordingInitializer::RecordingInitializer(Resource* owner, const char* kind_,
                                           std::vector<std::string>* sequence_)
    : kind(kind_), sequence(sequence_) {
    resource = owner;
    ++live;
}

bool RecordingInitializer::Init() {
    sequence->push_back("Init " + kind);
    initialized = !failInit;
    return initialized;
}

void RecordingInitializer::Deinit() {
    sequence->push_back("Deinit " + kind);
    initialized = false;
}

ResourceInitializer* RecordingResourceManager::Make(Resource* resource, const char* kind) {
    sequence.push_back(kind);
    if (!resource) return nullptr;  // kinds without a GPU side
    resource->initializer = new RecordingInitializer(resource, kind, &sequence);
    return resource->initializer;
}

ResourceManager* RecordingEngine::GetResourceManager() const {
    return const_cast<RecordingResourceManager*>(&manager);
}
