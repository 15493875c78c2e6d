// The state-sorting render queue of a pass.
#include "render/RenderQueue.h"

#include <cstdio>
#include <cstring>

#include "render/UniformState.h"

RenderQueue::RenderQueue() : states(10, 10), pendingTypes(10, 10), uniforms(10, 10),
                             firstUnsentUniform(0) {
    memset(pending, 0, sizeof(pending));
    memset(applied, 0, sizeof(applied));
}

void RenderQueue::Push(RenderState* state) {
    if (!state) {
        printf("RenderQueue::Push(): null render state, ignored\n");
        return;
    }
    RenderState::Type type = state->GetRenderStateType();
    // Every array below is indexed by type; nothing outside 0..81 may reach them.
    if (!RenderState::IsValidType(type)) {
        printf("RenderQueue::Push(): render state type %u out of range, ignored\n",
               unsigned(type));
        return;
    }
    if (type == RenderState::RST_Geometry) {
        Flush(state);
    } else if (type == RenderState::RST_Uniform) {
        // Type 1 belongs to UniformState alone. Uniforms are never deduplicated.
        uniforms.Add(static_cast<UniformState*>(state));
    } else {
        if (pending[type]) {
            pending[type] = state;  // keeps its place in pendingTypes
        } else {
            pendingTypes.Add(type);
            pending[type] = state;
        }
        // A new program has none of the uniforms set so far.
        if (type == RenderState::RST_Program) firstUnsentUniform = 0;
    }
}

void RenderQueue::Flush(RenderState* geometry) {
    for (RenderState::Type type : pendingTypes) {
        RenderState* p = pending[type];
        if (p != applied[type]) {
            states.Add(p);
            applied[type] = p;
        }
        pending[type] = nullptr;
    }
    pendingTypes.Clear();
    unsigned int count = uniforms.Size();
    for (unsigned int i = firstUnsentUniform; i < count; ++i) states.Add(uniforms[i]);
    firstUnsentUniform = count;
    states.Add(geometry);
}

void RenderQueue::Clear() {
    for (RenderState::Type type : pendingTypes) pending[type] = nullptr;
    pendingTypes.Clear();
    // Forget every applied entry rather than only those of the states in the
    // output: a texture state's type follows its texture and unit, which may
    // have changed since it was emitted, and a stale entry would suppress it.
    memset(applied, 0, sizeof(applied));
    states.Clear();
    uniforms.Clear();
    firstUnsentUniform = 0;
}
