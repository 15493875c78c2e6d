// Animation timing controls; stored only.
#pragma once

#include "m3g/Object3D.h"

namespace M3G {

class AnimationController : public Object3D {
public:
    AnimationController(DataSource* source, Loader* loader);
    Type GetType() const override { return T_AnimationController; }

    float speed;
    float weight;
    int activeIntervalStart;
    int activeIntervalEnd;
    float referenceSequenceTime;
    int referenceWorldTime;
};

}  // namespace M3G
