// Light records.
#include "m3g/Light.h"

#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/Uniform.h"
#include "render/UniformState.h"

namespace M3G {

Light::Light(DataSource* source, Loader* loader) : Node(source, loader) {
    attenuationConstant = ReadF32(source);
    attenuationLinear = ReadF32(source);
    attenuationQuadratic = ReadF32(source);
    ReadBytes(source, color, 3);
    mode = ReadU8(source);
    intensity = ReadF32(source);
    spotAngle = ReadF32(source);
    spotExponent = ReadF32(source);
}

Uniform* Light::CreateAttachUniform(char* name) {
    return CreateAttachNamedUniform(loader->root, name);
}

void Light::Create() {
    // Ten uniforms with their names, values and states from a record that
    // may be only a few bytes long.
    if (!loader->Charge(10 * (sizeof(Uniform) + sizeof(UniformState) + 100 + 16 + 8))) return;
    MakeRoom(&loader->GetScene()->objects, 20);
    if (loader->root) MakeRoom(&loader->root->states, 10);
    unsigned int i = loader->GetUniqID(Loader::OT_Light);
    Uniform* u[10];
    for (unsigned int n = 0; n < 10; ++n)
        u[n] = CreateAttachUniform(loader->CreateName(Loader::NameType(n), i));
    u[Loader::N_LightWorldTransform]->AttachWorldTransform(sceneNode);
    u[Loader::N_LightLocalTransform]->AttachLocalTransform(sceneNode);
    if (mode >= M_Ambient && mode <= M_Spot)
        u[Loader::N_LightType]->SetValue(int(mode - M_Ambient));
    float* rgb = new float[3]{color[0] / 255.0f, color[1] / 255.0f, color[2] / 255.0f};
    u[Loader::N_LightColor]->SetValue(Uniform::ET_Vec3, 1, rgb, false);
    u[Loader::N_LightAttenuationConstant]->SetValue(attenuationConstant);
    u[Loader::N_LightAttenuationLinear]->SetValue(attenuationLinear);
    u[Loader::N_LightAttenuationQuadratic]->SetValue(attenuationQuadratic);
    u[Loader::N_LightIntensity]->SetValue(intensity);
    u[Loader::N_LightSpotAngle]->SetValue(spotAngle);
    u[Loader::N_LightSpotExponent]->SetValue(spotExponent);
}

}  // namespace M3G
