// Capability switch: type per capability and renderer dispatch.
#include "render/GenericState.h"

#include <cstdio>

#include "render/Renderer.h"

GenericState::GenericState(unsigned int capability, bool enabled)
    : enabled(enabled), capability(capability) {
    if (capability >= kCapabilityCount)
        printf("GenericState: capability %u out of range 0..10, state ignored\n", capability);
}

void GenericState::AssignToRenderer(Renderer* renderer) { renderer->AssignState(this); }

RenderState::Type GenericState::GetRenderStateType() const {
    // capability is public and may have been changed after construction.
    if (capability >= kCapabilityCount) return RST_Invalid;
    return Type(RST_Generic + capability);
}
