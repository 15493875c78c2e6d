// Ties a keyframe sequence to one animated property of its owner.
#pragma once

#include "m3g/Object3D.h"

class Animation;

namespace M3G {

class AnimationTrack : public Object3D {
public:
    enum Property { P_Orientation = 268, P_Scale = 270, P_Translation = 275 };

    AnimationTrack(DataSource* source, Loader* loader);
    Type GetType() const override { return T_AnimationTrack; }
    // The animation of the track's keyframe sequence, shared by every track
    // of that sequence; null without one.
    Animation* CreateAnimation();

    unsigned int keyframeSequence;     // object index
    unsigned int animationController;  // object index
    unsigned int property;
    Animation* animation;  // conversion cache; owned by the scene
};

}  // namespace M3G
