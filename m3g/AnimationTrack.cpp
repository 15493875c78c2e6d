// Animation track records.
#include "m3g/AnimationTrack.h"

#include "engine/Animation.h"
#include "engine/Scene.h"
#include "m3g/KeyframeSequence.h"

namespace M3G {

AnimationTrack::AnimationTrack(DataSource* source, Loader* loader)
    : Object3D(source, loader), animation(nullptr) {
    keyframeSequence = ReadU32(source);
    animationController = ReadU32(source);
    property = ReadU32(source);
}

Animation* AnimationTrack::CreateAnimation() {
    if (animation) return animation;
    KeyframeSequence* sequence =
        static_cast<KeyframeSequence*>(loader->GetObject(keyframeSequence, T_KeyframeSequence));
    if (!sequence) return nullptr;
    animation = new Animation();
    animation->sequence = sequence->CreateKeyframeSequence();
    switch (sequence->interpolation) {
    case KeyframeSequence::I_Slerp:
        animation->interpolation = Animation::IM_SLERP;
        break;
    case KeyframeSequence::I_Spline:
        animation->interpolation = Animation::IM_SPLINE;
        break;
    case KeyframeSequence::I_Squad:
        animation->interpolation = Animation::IM_SQUAD;
        break;
    case KeyframeSequence::I_Step:
        animation->interpolation = Animation::IM_STEP;
        break;
    default:
        animation->interpolation = Animation::IM_LINEAR;
        break;
    }
    animation->repeatMode = sequence->repeatMode == KeyframeSequence::R_Loop
                                ? Animation::RM_LOOP
                                : Animation::RM_CONSTANT;
    loader->GetScene()->objects.Add(animation);
    return animation;
}

}  // namespace M3G
