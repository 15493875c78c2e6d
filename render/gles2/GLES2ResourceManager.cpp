// Makes the GLES2 initializer that matches each resource class.
#include "render/gles2/GLES2ResourceManager.h"

#include "engine/FrameBuffer.h"
#include "engine/Mesh.h"
#include "engine/Program.h"
#include "engine/RenderBuffer.h"
#include "engine/Texture.h"
#include "render/gles2/GLES2FrameBufferInitializer.h"
#include "render/gles2/GLES2MeshInitializer.h"
#include "render/gles2/GLES2ProgramInitializer.h"
#include "render/gles2/GLES2RenderBufferInitializer.h"
#include "render/gles2/GLES2TextureInitializer.h"

ResourceInitializer* GLES2ResourceManager::CreateInitializer(Texture* texture) {
    texture->initializer = new GLES2TextureInitializer(texture);
    return texture->initializer;
}

ResourceInitializer* GLES2ResourceManager::CreateInitializer(Material*) { return nullptr; }

ResourceInitializer* GLES2ResourceManager::CreateInitializer(Camera*) { return nullptr; }

ResourceInitializer* GLES2ResourceManager::CreateInitializer(Mesh* mesh) {
    mesh->initializer = new GLES2MeshInitializer(mesh);
    return mesh->initializer;
}

ResourceInitializer* GLES2ResourceManager::CreateInitializer(Program* program) {
    program->initializer = new GLES2ProgramInitializer(program);
    return program->initializer;
}

ResourceInitializer* GLES2ResourceManager::CreateInitializer(Uniform*) { return nullptr; }

ResourceInitializer* GLES2ResourceManager::CreateInitializer(FrameBuffer* frameBuffer) {
    frameBuffer->initializer = new GLES2FrameBufferInitializer(frameBuffer);
    return frameBuffer->initializer;
}

ResourceInitializer* GLES2ResourceManager::CreateInitializer(RenderBuffer* renderBuffer) {
    renderBuffer->initializer = new GLES2RenderBufferInitializer(renderBuffer);
    return renderBuffer->initializer;
}
