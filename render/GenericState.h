// Switches one GL capability on or off; each capability is its own state type.
#pragma once

#include "render/RenderState.h"

class GenericState : public RenderState {
public:
    // Capability indices; 2 and 3 switch nothing.
    enum Capability : unsigned int {
        GS_Blend = 0,
        GS_CullFace = 1,
        GS_DepthTest = 4,
        GS_Dither = 5,
        GS_PolygonOffsetFill = 6,
        GS_SampleAlphaToCoverage = 7,
        GS_SampleCoverage = 8,
        GS_ScissorTest = 9,
        GS_StencilTest = 10,
    };
    static constexpr unsigned int kCapabilityCount = 11;

    // A capability above 10 is refused: reported here, and the state's type
    // is invalid so that queues drop it instead of mistaking it for the
    // geometry state or another class.
    explicit GenericState(unsigned int capability = GS_Blend, bool enabled = false);

    void AssignToRenderer(Renderer* renderer) override;
    Type GetRenderStateBaseType() const override { return RST_Generic; }
    Type GetRenderStateType() const override;

    bool enabled;
    unsigned int capability;
};
