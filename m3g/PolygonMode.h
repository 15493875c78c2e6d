// Culling, shading and winding; stored only.
#pragma once

#include "m3g/Object3D.h"

namespace M3G {

class PolygonMode : public Object3D {
public:
    PolygonMode(DataSource* source, Loader* loader);
    Type GetType() const override { return T_PolygonMode; }

    unsigned int culling;
    unsigned int shading;
    unsigned int winding;
    bool twoSidedLighting;
    bool localCameraLighting;
    bool perspectiveCorrection;
};

}  // namespace M3G
