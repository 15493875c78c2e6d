// Keyframe animation: maps a time into the sequence's period and interpolates
// the keys around it (step, linear, slerp, spline, squad).
#pragma once

#include "engine/SceneObject.h"
#include "math/Quat.h"

class KeyframeSequence;

class Animation : public SceneObject {
public:
    enum Interpolation {
        IM_LINEAR = 0,
        IM_SLERP = 1,
        IM_SPLINE = 2,
        IM_SQUAD = 3,
        IM_STEP = 4,
    };
    enum RepeatMode {
        RM_CONSTANT = 0,  // hold the end keys
        RM_LOOP = 1,
    };

    Animation();
    // Deletes the sequence and the scratch array.
    ~Animation() override;
    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;

    SceneObjectType GetObjectType() const override { return SOT_Animation; }

    // Writes components first..last (inclusive, last cut to the component
    // count) of one channel to out[0...]. Writes nothing when there is no
    // sequence or key, when first > last or when the channel does not exist:
    // the caller's values then stay. Allocation-free.
    void GetChannelValues(float time, float* out, unsigned int first, unsigned int last,
                          unsigned int channel);
    // One component; 0 when GetChannelValues would write nothing.
    float GetComponentValue(float time, unsigned int component, unsigned int channel);
    // value(time + 100) - value(time - 100) per component, not divided by the
    // 200 time units. The scratch array is made on the first call.
    void GetChannelDerivativeValues(float time, float* out, unsigned int first,
                                    unsigned int last, unsigned int channel);
    // The time mapped into the sequence's period.
    float GetCurveTime(float time) const;

    // One per interpolation, called with the mapped time and a checked range.
    void GetStepValues(float time, float* out, unsigned int first, unsigned int last,
                       unsigned int channel);
    void GetLinearValues(float time, float* out, unsigned int first, unsigned int last,
                         unsigned int channel);
    void GetSlerpValues(float time, float* out, unsigned int first, unsigned int last,
                        unsigned int channel);
    void GetSplineValues(float time, float* out, unsigned int first, unsigned int last,
                         unsigned int channel);
    void GetSquadValues(float time, float* out, unsigned int first, unsigned int last,
                        unsigned int channel);

    // q0 * exp(s * log(q0^-1 * q1)) with the full inverse and no shorter-arc
    // flip: keys turn along the arc their stored signs give.
    static Quat Slerp(float s, const Quat& q0, const Quat& q1);
    // a / b, or 0 when b is 0.
    static float DivTime(float a, float b);

    KeyframeSequence* sequence;  // owned
    unsigned int interpolation;  // Interpolation; other values act as linear
    unsigned int repeatMode;     // RepeatMode; other values act as constant
    float* scratch;              // owned, made by the first derivative request

private:
    // The segment around a mapped time: keys k and k + 1 (modulo the key
    // count), its length d and the position s in it.
    struct Segment {
        unsigned int k;
        unsigned int k1;
        float d;
        float s;
    };
    void FindSegment(float time, Segment* segment) const;
    unsigned int KeyIndex(int i) const;
    const float* KeyValues(unsigned int key, unsigned int channel) const;
    Quat KeyQuat(unsigned int key, unsigned int channel) const;
    // Clips last to the component count; false when nothing is to be written.
    bool CheckRange(unsigned int first, unsigned int* last, unsigned int channel) const;
    // What the per-interpolation operations expect of their callers.
    bool RangeChecked(unsigned int first, unsigned int last, unsigned int channel) const;

    unsigned int scratchCount;
};
