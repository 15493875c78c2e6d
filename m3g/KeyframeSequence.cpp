// Keyframe sequence records.
#include "m3g/KeyframeSequence.h"

#include <memory>

#include "engine/Animation.h"
#include "engine/KeyframeSequence.h"
#include "engine/Scene.h"

namespace M3G {

KeyframeSequence::KeyframeSequence(DataSource* source, Loader* loader)
    : Object3D(source, loader), channelCount(1), times(nullptr), values(nullptr),
      animation(nullptr) {
    interpolation = ReadU8(source);
    repeatMode = ReadU8(source);
    encoding = ReadU8(source);
    duration = ReadU32(source);
    validRangeFirst = ReadU32(source);
    validRangeLast = ReadU32(source);
    componentCount = ReadU32(source);
    keyframeCount = ReadU32(source);
    if (loader->GetVersion() == 1) channelCount = ReadU32(source);
    // Bytes per keyframe, in 64 bits so that no count from the file can wrap.
    unsigned long long perKey = (unsigned long long)channelCount * componentCount;
    unsigned int valueSize = encoding == 0 ? 4 : encoding;
    // Counts no record could hold are dropped with the keys: the engine would
    // otherwise size its buffers from them.
    if (encoding > 2 || !Fits(source, perKey, valueSize) || !Fits(source, componentCount, 1) ||
        !Fits(source, channelCount, 1)) {
        if (!Fits(source, perKey, 1) || !Fits(source, componentCount, 1) ||
            !Fits(source, channelCount, 1))
            componentCount = channelCount = 0;
        keyframeCount = 0;
        return;
    }
    unsigned int c = componentCount;
    float* bias = nullptr;
    float* scale = nullptr;
    if (encoding != 0) {
        if (!Fits(source, c, 8)) {
            keyframeCount = 0;
            return;
        }
        bias = new float[c];
        scale = new float[c];
        ReadF32s(source, bias, c);
        ReadF32s(source, scale, c);
    }
    if (!Fits(source, keyframeCount, 4 + perKey * valueSize)) keyframeCount = 0;
    if (keyframeCount) {
        times = new unsigned int[keyframeCount];
        values = new float[keyframeCount * perKey];
    }
    float* out = values;
    for (unsigned int k = 0; k < keyframeCount; ++k) {
        times[k] = ReadU32(source);
        for (unsigned int h = 0; h < channelCount; ++h) {
            for (unsigned int i = 0; i < c; ++i) {
                if (encoding == 0) {
                    *out++ = ReadF32(source);
                } else {
                    unsigned int q = encoding == 1 ? ReadU8(source) : ReadU16(source);
                    *out++ = float(q) * scale[i] + bias[i];
                }
            }
        }
    }
    delete[] bias;
    delete[] scale;
}

KeyframeSequence::~KeyframeSequence() {
    delete[] times;
    delete[] values;
}

::KeyframeSequence* KeyframeSequence::CreateKeyframeSequence() {
    // The channel count goes along so that every channel of a key is copied;
    // the animation picks the channel when it is evaluated.
    ::KeyframeSequence* out = new ::KeyframeSequence(componentCount, channelCount);
    unsigned long long perKey = (unsigned long long)componentCount * channelCount;
    // One block for all keys, sized once.
    out->keys.Reserve(keyframeCount);
    out->reach.Reserve(keyframeCount);
    for (unsigned int k = 0; k < keyframeCount; ++k)
        out->AddKey(float(times[k]), values + k * perKey);
    out->duration = float(duration);
    return out;
}

Animation* KeyframeSequence::CreateAnimation() {
    if (animation) return animation;
    unsigned long long perKey = (unsigned long long)componentCount * channelCount;
    // A key: its record in the list, its value block and the block's heap
    // header, and its reach.
    if (!loader->Charge(sizeof(::Animation) + sizeof(::KeyframeSequence) +
                        keyframeCount * (sizeof(::KeyframeSequence::Key) + 16 + perKey * 4 + 4)))
        return nullptr;
    MakeRoom(&loader->GetScene()->objects, 1);
    std::unique_ptr<::Animation> made(new ::Animation());
    made->sequence = CreateKeyframeSequence();
    switch (interpolation) {
    case I_Slerp:
        made->interpolation = ::Animation::IM_SLERP;
        break;
    case I_Spline:
        made->interpolation = ::Animation::IM_SPLINE;
        break;
    case I_Squad:
        made->interpolation = ::Animation::IM_SQUAD;
        break;
    case I_Step:
        made->interpolation = ::Animation::IM_STEP;
        break;
    default:
        made->interpolation = ::Animation::IM_LINEAR;
        break;
    }
    made->repeatMode = repeatMode == R_Loop ? ::Animation::RM_LOOP : ::Animation::RM_CONSTANT;
    loader->GetScene()->objects.Add(made.get());
    animation = made.release();
    return animation;
}

}  // namespace M3G
