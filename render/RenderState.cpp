// Base render state: the default per-frame hook.
#include "render/RenderState.h"

void RenderState::Update(float) {}
