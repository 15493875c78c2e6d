// Recording resource manager and the test engine holding it.
#include "support/RecordingResourceManager.h"

#include "engine/Camera.h"
#include "engine/FrameBuffer.h"
#include "engine/Mesh.h"
#include "engine/Program.h"
#include "engine/RenderBuffer.h"
#include "engine/Texture.h"
#include "engine/Uniform.h"

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

ResourceInitializer* RecordingResourceManager::CreateInitializer(Texture* texture) {
    return Make(texture, "Texture");
}
ResourceInitializer* RecordingResourceManager::CreateInitializer(Material*) {
    return Make(nullptr, "Material");
}
ResourceInitializer* RecordingResourceManager::CreateInitializer(Camera*) {
    return Make(nullptr, "Camera");
}
ResourceInitializer* RecordingResourceManager::CreateInitializer(Mesh* mesh) {
    return Make(mesh, "Mesh");
}
ResourceInitializer* RecordingResourceManager::CreateInitializer(Program* program) {
    return Make(program, "Program");
}
ResourceInitializer* RecordingResourceManager::CreateInitializer(Uniform*) {
    return Make(nullptr, "Uniform");
}
ResourceInitializer* RecordingResourceManager::CreateInitializer(FrameBuffer* frameBuffer) {
    return Make(frameBuffer, "FrameBuffer");
}
ResourceInitializer* RecordingResourceManager::CreateInitializer(RenderBuffer* renderBuffer) {
    return Make(renderBuffer, "RenderBuffer");
}

ResourceManager* RecordingEngine::GetResourceManager() const {
    return const_cast<RecordingResourceManager*>(&manager);
}
