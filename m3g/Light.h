// A light node; it becomes shader uniforms.
#pragma once

#include "m3g/Node.h"

class Uniform;

namespace M3G {

class Light : public Node {
public:
    enum Mode { M_Ambient = 128, M_Directional = 129, M_Omni = 130, M_Spot = 131 };

    Light(DataSource* source, Loader* loader);
    Type GetType() const override { return T_Light; }
    // Ten uniforms on the World's root, named with the light's index.
    void Create() override;
    // Takes the new[] name; the state is attached to the loader's root.
    Uniform* CreateAttachUniform(char* name);

    float attenuationConstant;
    float attenuationLinear;
    float attenuationQuadratic;
    unsigned char color[3];  // RGB
    unsigned int mode;
    float intensity;
    float spotAngle;  // degrees
    float spotExponent;
};

}  // namespace M3G
