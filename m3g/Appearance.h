// Surface of a submesh: material and textures (fog and modes stored only).
#pragma once

#include "m3g/AppearanceBase.h"

namespace M3G {

class Appearance : public AppearanceBase {
public:
    Appearance(DataSource* source, Loader* loader);
    ~Appearance() override;
    Type GetType() const override { return T_Appearance; }

    unsigned int fog;
    unsigned int extraIndex;   // 2.0 files only
    unsigned int polygonMode;  // 1.0 files only
    unsigned int material;
    unsigned int textureCount;
    unsigned int* textures;  // object indices, unit 0 first; owned
};

}  // namespace M3G
