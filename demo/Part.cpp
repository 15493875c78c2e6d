// Parts: their passes in drawing order and the actors updated with them.
#include "demo/Part.h"

#include <cstdio>

#include "demo/Actor.h"
#include "demo/Engine.h"
#include "demo/Pass.h"

namespace Demo {

Part::Part(float end_, float start_) : end(end_), start(start_), passes(10, 10), actors(10, 10) {}

Part::~Part() {}

Part* Part::New(float end, float start) {
    Part* part = new Part(end, start);
    Engine::GetEngine()->Register(part);
    return part;
}

Part* Part::New(float end) { return New(end, 0.0f); }

void Part::AddPass(Pass* pass) {
    if (!pass) {
        printf("Demo::Part::AddPass(): no pass\n");
        return;
    }
    Engine::ChargeCurrent(2 * sizeof(void*));
    technique.passes.Add(&pass->pass);
    passes.Add(pass);
}

void Part::AttachUpdate(Actor* actor) {
    if (!actor) {
        printf("Demo::Part::AttachUpdate(): no actor\n");
        return;
    }
    Engine::ChargeCurrent(sizeof actor);
    actors.Add(actor);
}

void Part::SetSize(unsigned int width, unsigned int height) {
    for (Pass* pass : passes) pass->SetSize(width, height);
}

void Part::Update(float time) {
    for (Pass* pass : passes) pass->Update(time);
    for (Actor* actor : actors) actor->Update(time);
}

}  // namespace Demo
