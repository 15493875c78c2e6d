// Reduces the states pushed for a pass to the ordered list of changes the
// renderer applies: redundant states are dropped, uniforms resent after a
// program change, everything pending flushed before each geometry state.
#pragma once

#include "math/Types.h"
#include "render/RenderState.h"

class UniformState;

class RenderQueue {
public:
    RenderQueue();
    RenderQueue(const RenderQueue&) = delete;
    RenderQueue& operator=(const RenderQueue&) = delete;

    // A null state or one whose type is outside 0..81 is reported and dropped.
    void Push(RenderState* state);
    // Empties the output and forgets what was applied; keeps every capacity.
    void Clear();

    // The output, in the order the renderer applies it.
    Vector<RenderState*> states;
    // Newest state per type since the last flush.
    RenderState* pending[RenderState::RST_Count];
    // Types with a pending state, in the order each was first pushed.
    Vector<RenderState::Type> pendingTypes;
    // State last emitted per type since Clear().
    RenderState* applied[RenderState::RST_Count];
    // Every uniform state pushed since Clear(), in push order.
    Vector<UniformState*> uniforms;
    unsigned int firstUnsentUniform;

private:
    void Flush(RenderState* geometry);
};
