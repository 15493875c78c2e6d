// Generic frame driver: target, camera matrices, clears, then the pass's queue.
#include "render/Renderer.h"

#include <cstdio>

#include "engine/Camera.h"
#include "engine/Pass.h"
#include "engine/SceneNode.h"
#include "engine/Technique.h"
#include "render/RenderState.h"

Renderer::Renderer() : technique(nullptr) {}

Renderer::~Renderer() {}

void Renderer::Forget() { technique = nullptr; }

void Renderer::BindTechnique(Technique* t) { technique = t; }

void Renderer::Render() {
    if (!technique) {
        printf("Renderer::Render(): no technique bound\n");
        return;
    }
    // Index loop: the pass list is the technique's and is not changed while drawing.
    for (unsigned int i = 0; i < technique->passes.Size(); ++i) {
        Pass* pass = technique->passes[i];
        if (pass && pass->enabled) RenderPass(pass);
    }
}

void Renderer::RenderPass(Pass* pass) {
    if (!pass) return;
    SetRenderTarget(pass->frameBuffer);
    SceneNode* cameraNode = pass->cameraNode;
    if (cameraNode && cameraNode->camera)
        AssignProjectionMatrix(cameraNode->camera->projection);
    else
        AssignProjectionMatrix(Mat4::IDENTITY);
    // Without a camera node the view matrices of the previous pass stay.
    if (cameraNode) {
        Mat4 view = cameraNode->world;
        view.LoadInverse();
        AssignViewMatrix(view);
        Mat4 prevView = cameraNode->prevWorld;
        prevView.LoadInverse();
        AssignPrevViewMatrix(prevView);
    }
    ClearBuffers(pass);
    Vector<RenderState*>& states = pass->queue.states;
    for (unsigned int i = 0; i < states.Size(); ++i) states[i]->AssignToRenderer(this);
}
