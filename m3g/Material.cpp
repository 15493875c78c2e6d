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
    // In name order, ambient to specular; diffuse alone carries alpha.
    const unsigned char* colors[4] = {ambient, diffuse, emissive, specular};
    for (unsigned int i = 0; i < 4; ++i) {
        unsigned int n = i == 1 ? 4 : 3;
        float* v = new float[n];
        for (unsigned int k = 0; k < n; ++k) v[k] = colors[i][k] / 255.0f;
        CreateAttachUniform(node, Loader::NameType(Loader::N_MaterialAmbient + i), 0)
            ->SetValue(n == 4 ? Uniform::ET_Vec4 : Uniform::ET_Vec3, 1, v, false);
    }
    CreateAttachUniform(node, Loader::N_MaterialShininess, 0)->SetValue(shininess);
}

}  // namespace M3G
