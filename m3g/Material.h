// Lighting colours of a surface.
#pragma once

#include "m3g/Object3D.h"

class SceneNode;

namespace M3G {

class Material : public Object3D {
public:
    Material(DataSource* source, Loader* loader);
    Type GetType() const override { return T_Material; }
    void CreateAttachMaterialState(SceneNode* node);
    // The same material as five uniforms; not used by the conversion.
    void CreateAttachMaterialUniforms(SceneNode* node);

    unsigned char ambient[3];  // RGB
    unsigned char diffuse[4];  // RGBA
    unsigned char emissive[3];
    unsigned char specular[3];
    float shininess;
    bool vertexColorTracking;
};

}  // namespace M3G
