// Blend factors, equations and constant colour.
#pragma once

#include "math/Vec4.h"
#include "render/RenderState.h"

class BlendState : public RenderState {
public:
    // Codes shared with the script API; the GL values live in the renderer.
    enum BlendFactor : unsigned int {
        BF_ZERO = 0,
        BF_ONE,
        BF_SRC_COLOR,
        BF_ONE_MINUS_SRC_COLOR,
        BF_DST_COLOR,
        BF_ONE_MINUS_DST_COLOR,
        BF_SRC_ALPHA,
        BF_ONE_MINUS_SRC_ALPHA,
        BF_DST_ALPHA,
        BF_ONE_MINUS_DST_ALPHA,
        BF_CONSTANT_COLOR,
        BF_ONE_MINUS_CONSTANT_COLOR,
        BF_CONSTANT_ALPHA,
        BF_ONE_MINUS_CONSTANT_ALPHA,
        BF_SRC_ALPHA_SATURATE,
    };
    enum BlendEquation : unsigned int {
        BE_ADD = 0,
        BE_SUBTRACT,
        BE_REV_SUBTRACT,
        BE_MIN,
        BE_MAX,
    };
    static const char* const factorNames[15];
    static const char* const equationNames[5];

    BlendState();

    void AssignToRenderer(Renderer* renderer) override;
    Type GetRenderStateBaseType() const override { return RST_Blend; }
    Type GetRenderStateType() const override { return RST_Blend; }

    unsigned int srcRGB;
    unsigned int srcAlpha;
    unsigned int dstRGB;
    unsigned int dstAlpha;
    unsigned int equationRGB;
    unsigned int equationAlpha;
    Vec4 color;
};
