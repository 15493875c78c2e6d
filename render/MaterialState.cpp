// Material state defaults and renderer dispatch.
#include "render/MaterialState.h"

#include "render/Renderer.h"

MaterialState::MaterialState()
    : ambient{0.2f, 0.2f, 0.2f, 1.0f}, diffuse{0.8f, 0.8f, 0.8f, 1.0f},
      specular{0.0f, 0.0f, 0.0f, 1.0f}, emission{0.0f, 0.0f, 0.0f, 1.0f},
      base{1.0f, 1.0f, 1.0f, 1.0f}, shininess(0.0f) {}

void MaterialState::AssignToRenderer(Renderer* renderer) { renderer->AssignState(this); }
