// Uniform state: per-frame evaluation and renderer dispatch.
#include "render/UniformState.h"

#include "engine/Uniform.h"
#include "render/Renderer.h"

UniformState::UniformState(Uniform* uniform) : uniform(uniform) {}

void UniformState::AssignToRenderer(Renderer* renderer) { renderer->AssignState(this); }

void UniformState::Update(float time) {
    if (uniform) uniform->Update(time);
}
