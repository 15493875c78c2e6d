// Keyframes of an animation track, decoded to floats at load time.
#pragma once

#include "m3g/Object3D.h"

class Animation;
class KeyframeSequence;

namespace M3G {

class KeyframeSequence : public Object3D {
public:
    enum Interpolation {
        I_Linear = 176,
        I_Slerp = 177,
        I_Spline = 178,
        I_Squad = 179,
        I_Step = 180,
    };
    enum RepeatMode { R_Constant = 192, R_Loop = 193 };

    KeyframeSequence(DataSource* source, Loader* loader);
    ~KeyframeSequence() override;
    Type GetType() const override { return T_KeyframeSequence; }
    // A new engine sequence with a copy of the keys.
    ::KeyframeSequence* CreateKeyframeSequence();
    // The sequence's animation, made on the first call and appended to the
    // scene; null past the loader's budget. Every track of the sequence
    // binds this one animation: its interpolation and repeat mode come from
    // the sequence too, and evaluating it changes nothing in it.
    Animation* CreateAnimation();

    unsigned int interpolation;
    unsigned int repeatMode;
    unsigned int encoding;  // 0 floats, 1 bytes, 2 16-bit values
    unsigned int duration;
    unsigned int validRangeFirst;
    unsigned int validRangeLast;
    unsigned int componentCount;
    // Keyframes actually held: 0 when the encoding is unknown or the record
    // cannot hold the count it declares.
    unsigned int keyframeCount;
    unsigned int channelCount;  // 1 in 1.0 files
    unsigned int* times;        // owned
    // keyframeCount x channelCount x componentCount values; owned.
    float* values;
    Animation* animation;  // conversion cache; owned by the scene
};

}  // namespace M3G
