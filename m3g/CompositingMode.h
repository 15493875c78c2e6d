// Depth, blending and write masks; stored only.
#pragma once

#include "m3g/Object3D.h"

namespace M3G {

class CompositingMode : public Object3D {
public:
    CompositingMode(DataSource* source, Loader* loader);
    Type GetType() const override { return T_CompositingMode; }

    bool depthTestEnabled;
    bool depthWriteEnabled;
    bool colorWriteEnabled;  // true in 2.0 files
    bool alphaWriteEnabled;  // true in 2.0 files
    unsigned int blending;
    unsigned int alphaThreshold;
    float depthOffsetFactor;
    float depthOffsetUnits;
    // The 2.0 fields, with their 1.0 defaults.
    unsigned int extra1;
    unsigned int extra2;
    unsigned int extra3;
    unsigned int extra4;
    unsigned int extra5;
};

}  // namespace M3G
