// World records.
#include "m3g/World.h"

#include "engine/Pass.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/Technique.h"
#include "m3g/Background.h"
#include "m3g/Camera.h"
#include "math/Vec4.h"

namespace M3G {

World::World(DataSource* source, Loader* loader) : Group(source, loader), technique(nullptr) {
    activeCamera = ReadU32(source);
    background = ReadU32(source);
}

Technique* World::CreateTechnique() {
    if (!technique) CreateSceneNode();
    return technique;
}

void World::Create() {
    // Lights attach their uniforms to the root, so it is set first.
    loader->root = sceneNode;
    Group::Create();
    Scene* scene = loader->GetScene();
    technique = new Technique();
    scene->objects.Add(technique);
    Camera* camera = static_cast<Camera*>(loader->GetObject(activeCamera, T_Camera));
    SceneNode* cameraNode = camera ? camera->CreateSceneNode() : nullptr;
    Pass* pass = new Pass(sceneNode, cameraNode, nullptr, true, Vec4(0.0f, 0.0f, 0.0f, 0.0f), true,
                          1.0f, false, 0);
    scene->objects.Add(pass);
    if (background != 0) {
        if (Background* b = static_cast<Background*>(loader->GetObject(background, T_Background))) {
            pass->clearColorEnabled = b->colorClearEnabled;
            pass->clearColor = ByteColor(b->color, b->color[3] / 255.0f);
            pass->clearDepthEnabled = b->depthClearEnabled;
            pass->clearDepth = b->depthClearValue;
            pass->clearStencilEnabled = b->stencilClearEnabled;
            pass->clearStencil = (unsigned char)(b->stencilClearValue & 0xFF);
        }
    }
    technique->passes.Add(pass);
}

}  // namespace M3G
