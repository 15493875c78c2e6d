// Renderbuffers.
#include "engine/RenderBuffer.h"

#include "engine/ResourceManager.h"

RenderBuffer::RenderBuffer() : width(0), height(0), format(RBF_Depth16) {}

ResourceInitializer* RenderBuffer::CreateInitializer(ResourceManager* manager) {
    return manager->CreateInitializer(this);
}
