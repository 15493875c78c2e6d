// One rendering step of a part: a demo scene drawn with an effect into a
// target or onto the screen, with the part-local time as a uniform.
#pragma once

#include "demo/Object.h"
#include "engine/Pass.h"
#include "engine/Uniform.h"
#include "render/UniformState.h"

class Animation;

namespace Demo {

class Animation;
class Effect;
class Scene;
class Target;

class Pass : public Object {
public:
    // A null scene (or a scene without an engine pass) leaves the engine pass
    // with its defaults and no root: it clears as they say and draws no
    // geometry. A null effect contributes no states. Both are reported.
    Pass(Scene* scene, Effect* effect, Target* target);
    // The engine pass's state list is released; the states are not deleted.
    ~Pass() override;
    // Its own fields and the effect's states it lists.
    unsigned long long HeldBytes() const override;

    static Pass* New(Scene* scene, Effect* effect, Target* target);
    // Draws to the screen.
    static Pass* New(Scene* scene, Effect* effect);

    // Binds the animation to the engine pass's enable switch.
    void BindState(Animation* animation);
    // The animation chooses screen (value in [-0.5, 0.5)) or target.
    void BindTargetState(Animation* animation);
    void SetColorClearEnabled(bool enabled);
    // Sizes the target and follows the output's aspect ratio.
    void SetSize(unsigned int width, unsigned int height);
    // time: part-local milliseconds.
    void Update(float time);

    ::Pass pass;
    Scene* scene;    // not owned, may be null
    Effect* effect;  // not owned, may be null
    Target* target;  // not owned; null is the screen
    ::Animation* targetState;  // inside a Demo::Animation; null until bound
    Uniform timeUniform;       // "Vomra_un_Time", part-local ms
    UniformState timeState;    // always the last state of `pass`
};

}  // namespace Demo
