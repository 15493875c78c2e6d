// A stretch of the timeline: its time window, the demo passes that draw it and
// the actors animated with it.
#pragma once

#include "demo/Object.h"
#include "engine/Technique.h"
#include "math/Types.h"

namespace Demo {

class Actor;
class Pass;

class Part : public Object {
public:
    Part(float end, float start);
    // Releases the lists only: passes and actors belong to the registry.
    ~Part() override;

    static Part* New(float end, float start);
    static Part* New(float end);

    // Drawing order is AddPass order. A null pass is reported and ignored.
    void AddPass(Pass* pass);
    // A null actor is reported and ignored.
    void AttachUpdate(Actor* actor);
    void SetSize(unsigned int width, unsigned int height);
    // Passes first, then actors; time is part-local, milliseconds.
    void Update(float time);

    float end;    // part-local ms at which the part ends
    float start;  // part-local ms of its first frame; lasts end - start
    Technique technique;  // passes: the engine pass of each demo pass
    Vector<Pass*> passes;   // not owned
    Vector<Actor*> actors;  // not owned
};

}  // namespace Demo
