// Material records.
#include "m3g/Material.h"

#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/Uniform.h"
#include "math/Vec4.h"
#include "render/MaterialState.h"

namespace M3G {

Material::Material(DataSource* source, Loader* loader) : Object3D(source, loader) {
    ReadBytes(source, ambient, 3);
    ReadBytes(source, diffuse, 4);
    ReadBytes(source, emissive, 3);
    ReadBytes(source, specular, 3);
    shininess = ReadF32(source);
    vertexColorTracking = ReadBool(source);
}

void Material::CreateAttachMaterialState(SceneNode* node) {
    MaterialState* state = new MaterialState();
    state->ambient = ByteColor(ambient, 0.0f);
    state->diffuse = ByteColor(diffuse, diffuse[3] / 255.0f);
    state->specular = ByteColor(specular, 0.0f);
    state->emission = ByteColor(emissive, 0.0f);
    state->base = state->diffuse;
    state->shininess = shininess;
    loader->GetScene()->objects.Add(state);
    node->Attach(state);
}

void Material::CreateAttachMaterialUniforms(SceneNode* node) {
    const unsigned char* rgb[3] = {ambient, emissive, specular};
    const Loader::NameType names[3] = {Loader::N_MaterialAmbient, Loader::N_MaterialEmissive,
                                       Loader::N_MaterialSpecular};
    for (int i = 0; i < 3; ++i) {
        float* v = new float[3]{rgb[i][0] / 255.0f, rgb[i][1] / 255.0f, rgb[i][2] / 255.0f};
        CreateAttachUniform(node, names[i], 0)->SetValue(Uniform::ET_Vec3, 1, v, false);
    }
    float* d = new float[4]{diffuse[0] / 255.0f, diffuse[1] / 255.0f, diffuse[2] / 255.0f,
                            diffuse[3] / 255.0f};
    CreateAttachUniform(node, Loader::N_MaterialDiffuse, 0)
        ->SetValue(Uniform::ET_Vec4, 1, d, false);
    CreateAttachUniform(node, Loader::N_MaterialShininess, 0)->SetValue(shininess);
}

}  // namespace M3G
