// Demo passes: the engine pass built from a scene's own pass and an effect's
// states, its target choice and its time uniform.
#include "demo/Pass.h"

#include <cstdio>

#include "demo/Animation.h"
#include "demo/Effect.h"
#include "demo/Engine.h"
#include "demo/Scene.h"
#include "demo/Target.h"
#include "engine/Animation.h"
#include "engine/Camera.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"

namespace Demo {

Pass::Pass(Scene* scene_, Effect* effect_, Target* target_)
    : pass(nullptr, nullptr, nullptr, true, Vec4::ZERO, true, 1.0f, false, 0),
      scene(scene_),
      effect(effect_),
      target(target_),
      targetState(nullptr),
      timeUniform("Vomra_un_Time"),
      timeState(&timeUniform) {
    if (!scene) {
        printf("Demo::Pass::Pass(): no scene\n");
    } else {
        Vector<SceneObject*> found;
        scene->scene->FindAll(SceneObject::SOT_Pass, &found);
        if (found.Size() > 1) printf("Demo::Pass::Pass(): Warning: scene has more than one pass\n");
        if (found.Size() == 0)
            printf("Demo::Pass::Pass(): Warning: scene has no pass\n");
        else
            pass = *static_cast<::Pass*>(found[0]);
    }
    // Copied once: sources and parameters added later do not reach this
    // pass, while the shared blend states stay live.
    if (!effect)
        printf("Demo::Pass::Pass(): no effect\n");
    else
        for (RenderState* state : effect->states) pass.states.Add(state);
    timeUniform.SetValue(0.0f);
    pass.states.Add(&timeState);
    pass.frameBuffer = target ? &target->frameBuffer : nullptr;
}

Pass::~Pass() {}

unsigned long long Pass::HeldBytes() const {
    return 512 + (unsigned long long)pass.states.Size() * sizeof(RenderState*);
}

Pass* Pass::New(Scene* scene, Effect* effect, Target* target) {
    Pass* pass = new Pass(scene, effect, target);
    Engine::GetEngine()->Register(pass);
    return pass;
}

Pass* Pass::New(Scene* scene, Effect* effect) { return New(scene, effect, nullptr); }

void Pass::BindState(Animation* animation) {
    if (!animation) {
        printf("Demo::Pass::BindState(): no animation\n");
        return;
    }
    pass.BindProperty(::Actor::P_Enable, &animation->animation);
}

void Pass::BindTargetState(Animation* animation) {
    if (!animation) {
        printf("Demo::Pass::BindTargetState(): no animation\n");
        return;
    }
    targetState = &animation->animation;
}

void Pass::SetColorClearEnabled(bool enabled) { pass.clearColorEnabled = enabled; }

void Pass::SetSize(unsigned int width, unsigned int height) {
    if (target) target->SetSize(width, height);
    if (!scene || !scene->adjustAspect || !pass.cameraNode || !pass.cameraNode->camera) return;
    Camera* camera = pass.cameraNode->camera;
    // The output's ratio, not the target's scaled size.
    camera->SetParams(camera->fov, float(width) / float(height), camera->near, camera->far);
}

void Pass::Update(float time) {
    if (targetState) {
        float v = 0.0f;
        targetState->GetChannelValues(time, &v, 0, 0, 0);
        // Screen in [-0.5, 0.5); everything else, NaN included, the target.
        bool screen = v >= -0.5f && v < 0.5f;
        pass.frameBuffer = (screen || !target) ? nullptr : &target->frameBuffer;
    }
    timeUniform.SetValue(time);
}

}  // namespace Demo
