// Geometry state: renderer dispatch.
#include "render/GeometryState.h"

#include "render/Renderer.h"

GeometryState::GeometryState(SceneNode* node) : node(node) {}

void GeometryState::AssignToRenderer(Renderer* renderer) { renderer->AssignState(this); }
