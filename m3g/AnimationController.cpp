// Animation controller records.
#include "m3g/AnimationController.h"

namespace M3G {

AnimationController::AnimationController(DataSource* source, Loader* loader)
    : Object3D(source, loader) {
    speed = ReadF32(source);
    weight = ReadF32(source);
    activeIntervalStart = ReadI32(source);
    activeIntervalEnd = ReadI32(source);
    referenceSequenceTime = ReadF32(source);
    referenceWorldTime = ReadI32(source);
}

}  // namespace M3G
