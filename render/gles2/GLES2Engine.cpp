// The OpenGL ES 2.0 engine and its two members.
#include "render/gles2/GLES2Engine.h"

GLES2Engine::GLES2Engine() {}

void GLES2Engine::Init() { renderer.Init(); }

// The accessors are const, the members they hand out are not.
Renderer* GLES2Engine::GetRenderer() const { return const_cast<GLES2Renderer*>(&renderer); }

ResourceManager* GLES2Engine::GetResourceManager() const {
    return const_cast<GLES2ResourceManager*>(&resourceManager);
}
