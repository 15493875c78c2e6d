// Moving built programs out of effects before a reload, and lending them to
// the effects of the next run whose own program failed.
#include "demo/ProgramKeeper.h"

#include <cstdio>
#include <set>

#include "demo/Effect.h"
#include "demo/Engine.h"
#include "engine/Program.h"
#include "engine/ResourceInitializer.h"
#include "render/ProgramState.h"

namespace Demo {

namespace {

// The effect's own program: its first resource, bound by its first state.
Program* OwnProgram(Effect* effect) {
    if (effect->resources.Size() == 0 || effect->states.Size() == 0) return nullptr;
    Resource* first = effect->resources[0];
    if (first->GetType() != Resource::RT_Program) return nullptr;
    if (effect->states[0]->GetRenderStateType() != RenderState::RST_Program) return nullptr;
    return static_cast<Program*>(first);
}

bool IsBuilt(const Program* program) {
    return program->initializer && program->initializer->initialized;
}

}  // namespace

ProgramKeeper::~ProgramKeeper() {
    while (!kept.empty()) Drop(kept.begin()->first);
}

void ProgramKeeper::Drop(const Key& key) {
    auto found = kept.find(key);
    if (found == kept.end()) return;
    delete found->second.program;
    // After the program, which points into them.
    delete[] found->second.vertexSource;
    delete[] found->second.fragmentSource;
    kept.erase(found);
}

void ProgramKeeper::Keep(Engine* engine) {
    std::set<Key> taken;
    for (Object* object : engine->objects) {
        Effect* effect = dynamic_cast<Effect*>(object);
        if (!effect) continue;
        Program* program = OwnProgram(effect);
        if (!program || !IsBuilt(program)) continue;
        Key key(program->vertexName, program->fragmentName);
        if (!taken.insert(key).second) continue;
        Drop(key);
        // The effect's states still name the program until the effect goes;
        // nothing draws in between.
        effect->resources.RemoveOrdered(0);
        kept[key] = Kept{program, effect->vertexSource, effect->fragmentSource};
        effect->vertexSource = nullptr;
        effect->fragmentSource = nullptr;
    }
}

void ProgramKeeper::Restore(Engine* engine) {
    std::set<Key> built;
    for (Object* object : engine->objects) {
        Effect* effect = dynamic_cast<Effect*>(object);
        Program* program = effect ? OwnProgram(effect) : nullptr;
        if (!program) continue;
        if (IsBuilt(program)) built.insert(Key(program->vertexName, program->fragmentName));
    }
    std::set<Key> lent;
    for (Object* object : engine->objects) {
        Effect* effect = dynamic_cast<Effect*>(object);
        Program* program = effect ? OwnProgram(effect) : nullptr;
        if (!program || IsBuilt(program)) continue;
        Key key(program->vertexName, program->fragmentName);
        auto found = kept.find(key);
        if (found == kept.end() || built.count(key)) continue;
        // Every pass and node copied this state, so they all follow it.
        static_cast<ProgramState*>(effect->states[0])->program = found->second.program;
        if (lent.insert(key).second)
            printf("Demo::ProgramKeeper::Restore(): the passes of %s and %s draw with the program "
                   "last built from them\n",
                   key.first.c_str(), key.second.c_str());
    }
    // Built again or no longer used: the new run keeps its own next time.
    for (auto it = kept.begin(); it != kept.end();) {
        Key key = (it++)->first;
        if (!lent.count(key)) Drop(key);
    }
}

}  // namespace Demo
