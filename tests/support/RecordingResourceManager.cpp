// Recording resource manager, counting initializers and the test engine.
#include "support/RecordingResourceManager.h"

#include "engine/Camera.h"
#include "engine/FrameBuffer.h"
#include "engine/Mesh.h"
#include "engine/Program.h"
#include "engine/RenderBuffer.h"
#include "engine/Resource.h"
#include "engine/Texture.h"
#include "engine/Uniform.h"

RecordingInitializer::RecordingInitializer(Resource* owner) { resource = owner; }

RecordingInitializer::~RecordingInitializer() {
    if (tracker) {
        tracker->deleted = true;
        tracker->deinitsAtDeletion = deinitCount;
    }
}

bool RecordingInitializer::Init() {
    ++initCount;
    if (failInit) return false;
    initialized = true;
    return true;
}

void RecordingInitializer::Deinit() {
    ++deinitCount;
    initialized = false;
}

void RecordingInitializer::UpdateDynamic() { ++updateCount; }

RecordingInitializer* RecordingResourceManager::Make(Resource* resource, const char* kind) {
    log.push_back(kind);
    RecordingInitializer* initializer = new RecordingInitializer(resource);
    resource->initializer = initializer;
    created.push_back(initializer);
    return initializer;
}

ResourceInitializer* RecordingResourceManager::CreateInitializer(Texture* texture) {
    return Make(texture, "Texture");
}

ResourceInitializer* RecordingResourceManager::CreateInitializer(Material*) {
    log.push_back("Material");
    return nullptr;
}

ResourceInitializer* RecordingResourceManager::CreateInitializer(Camera*) {
    log.push_back("Camera");
    return nullptr;
}

ResourceInitializer* RecordingResourceManager::CreateInitializer(Mesh* mesh) {
    return Make(mesh, "Mesh");
}

ResourceInitializer* RecordingResourceManager::CreateInitializer(Program* program) {
    return Make(program, "Program");
}

ResourceInitializer* RecordingResourceManager::CreateInitializer(Uniform*) {
    log.push_back("Uniform");
    return nullptr;
}

ResourceInitializer* RecordingResourceManager::CreateInitializer(FrameBuffer* frameBuffer) {
    return Make(frameBuffer, "FrameBuffer");
}

ResourceInitializer* RecordingResourceManager::CreateInitializer(RenderBuffer* renderBuffer) {
    return Make(renderBuffer, "RenderBuffer");
}

RecordingEngine::RecordingEngine(Renderer* renderer_) : renderer(renderer_) {}

void RecordingEngine::Init() { ++initCount; }

ResourceManager* RecordingEngine::GetResourceManager() const {
    return const_cast<RecordingResourceManager*>(&manager);
}
