// Resource manager logging the order of Init and Deinit across resources.
#include "support/SequenceResourceManager.h"

#include "engine/FrameBuffer.h"
#include "engine/Mesh.h"
#include "engine/Program.h"
#include "engine/RenderBuffer.h"
#include "engine/Resource.h"
#include "engine/Texture.h"

namespace testsupport {

SequenceInitializer::SequenceInitializer(Resource* owner, const char* kind_,
                                         std::vector<std::string>* sequence_)
    : kind(kind_), sequence(sequence_) {
    resource = owner;
}

bool SequenceInitializer::Init() {
    sequence->push_back("Init " + kind);
    initialized = true;
    return true;
}

void SequenceInitializer::Deinit() {
    sequence->push_back("Deinit " + kind);
    initialized = false;
}

void SequenceInitializer::UpdateDynamic() { sequence->push_back("UpdateDynamic " + kind); }

ResourceInitializer* SequenceResourceManager::Make(Resource* resource, const char* kind) {
    SequenceInitializer* initializer = new SequenceInitializer(resource, kind, &sequence);
    resource->initializer = initializer;
    return initializer;
}

ResourceInitializer* SequenceResourceManager::CreateInitializer(Texture* texture) {
    return Make(texture, "Texture");
}
ResourceInitializer* SequenceResourceManager::CreateInitializer(Material*) { return nullptr; }
ResourceInitializer* SequenceResourceManager::CreateInitializer(Camera*) { return nullptr; }
ResourceInitializer* SequenceResourceManager::CreateInitializer(Mesh* mesh) {
    return Make(mesh, "Mesh");
}
ResourceInitializer* SequenceResourceManager::CreateInitializer(Program* program) {
    return Make(program, "Program");
}
ResourceInitializer* SequenceResourceManager::CreateInitializer(Uniform*) { return nullptr; }
ResourceInitializer* SequenceResourceManager::CreateInitializer(FrameBuffer* frameBuffer) {
    return Make(frameBuffer, "FrameBuffer");
}
ResourceInitializer* SequenceResourceManager::CreateInitializer(RenderBuffer* renderBuffer) {
    return Make(renderBuffer, "RenderBuffer");
}

ResourceManager* SequenceEngine::GetResourceManager() const {
    return const_cast<SequenceResourceManager*>(&manager);
}

}  // namespace testsupport
