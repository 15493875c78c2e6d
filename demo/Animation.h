// A keyframe animation built key by key from a script, evaluated by whatever
// it is bound to at the part-local time.
#pragma once

#include "demo/Object.h"
#include "engine/Animation.h"

class KeyframeSequence;

namespace Demo {

class Animation : public Object {
public:
    enum InterpolationMode {
        IM_LINEAR = 0,
        IM_SLERP = 1,
        IM_SPLINE = 2,
        IM_SQUAD = 3,
        IM_STEP = 4,
    };
    enum RepeatMode {
        RM_CONSTANT = 0,
        RM_LOOP = 1,
    };
    static const unsigned int sc_interpTab[5];
    static const unsigned int sc_repeatTab[2];
    // Nothing reads more than a quaternion from an animation.
    static constexpr unsigned int kMaxComponents = 4;

    // Unknown modes are reported and become IM_LINEAR / RM_CONSTANT; more
    // than four components are reported and cut to four.
    Animation(InterpolationMode mode, RepeatMode repeat, unsigned int components);
    // The engine animation deletes the sequence and its keys.
    ~Animation() override;

    static Animation* New(InterpolationMode mode, RepeatMode repeat, unsigned int components);
    static Animation* New(InterpolationMode mode, RepeatMode repeat);

    void SetDuration(float ms);
    // Appends a key of `components` values: the first min(n, components)
    // from values, zeros after them. Keys stay in call order.
    void AddKey(float time, const float* values, unsigned int n);
    void AddKey(float time, float a);
    void AddKey(float time, float a, float b);
    void AddKey(float time, float a, float b, float c);
    void AddKey(float time, float a, float b, float c, float d);
    // 1.0 or 0.0: the form used for enable switches.
    void AddKey(float time, bool on);

    ::Animation animation;      // what bindings receive
    KeyframeSequence* sequence; // owned by animation
    unsigned int components;
};

}  // namespace Demo
