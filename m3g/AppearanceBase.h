// Fields every appearance carries: layer and compositing mode.
#pragma once

#include "m3g/Object3D.h"

namespace M3G {

class AppearanceBase : public Object3D {
public:
    AppearanceBase(DataSource* source, Loader* loader);

    unsigned int layer;
    unsigned int compositingMode;  // object index
    unsigned int extra1;           // 2.0 files only
    unsigned int extra2;
};

}  // namespace M3G
