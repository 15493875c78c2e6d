// Blend state defaults (replace: one, zero, add) and its renderer dispatch.
#include "render/BlendState.h"

#include "render/Renderer.h"

const char* const BlendState::factorNames[15] = {
    "BF_ZERO", "BF_ONE", "BF_SRC_COLOR", "BF_ONE_MINUS_SRC_COLOR", "BF_DST_COLOR",
    "BF_ONE_MINUS_DST_COLOR", "BF_SRC_ALPHA", "BF_ONE_MINUS_SRC_ALPHA", "BF_DST_ALPHA",
    "BF_ONE_MINUS_DST_ALPHA", "BF_CONSTANT_COLOR", "BF_ONE_MINUS_CONSTANT_COLOR",
    "BF_CONSTANT_ALPHA", "BF_ONE_MINUS_CONSTANT_ALPHA", "BF_SRC_ALPHA_SATURATE",
};

const char* const BlendState::equationNames[5] = {
    "BE_ADD", "BE_SUBTRACT", "BE_REV_SUBTRACT", "BE_MIN", "BE_MAX",
};

BlendState::BlendState()
    : srcRGB(BF_ONE), srcAlpha(BF_ONE), dstRGB(BF_ZERO), dstAlpha(BF_ZERO),
      equationRGB(BE_ADD), equationAlpha(BE_ADD), color{0.0f, 0.0f, 0.0f, 0.0f} {}

void BlendState::AssignToRenderer(Renderer* renderer) { renderer->AssignState(this); }
