// Animation track records.
#include "m3g/AnimationTrack.h"

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
    animation = sequence->CreateAnimation();
    return animation;
}

}  // namespace M3G
