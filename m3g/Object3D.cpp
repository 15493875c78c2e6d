// Fields every object record carries, and the uniforms records attach to nodes.
#include "m3g/Object3D.h"

#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/Uniform.h"
#include "math/Vec4.h"
#include "render/UniformState.h"

namespace M3G {

Object3D::Object3D(DataSource* source, Loader* loader_)
    : loader(loader_), animationTrackExtras(nullptr), userParameters(nullptr), trailingFlag(false) {
    bool v2 = loader->GetVersion() == 1;
    userID = ReadU32(source);
    animationTrackCount = ReadU32(source);
    animationTracks = NewArray<unsigned int>(source, &animationTrackCount, v2 ? 8 : 4);
    if (v2 && animationTrackCount) animationTrackExtras = new unsigned int[animationTrackCount];
    for (unsigned int i = 0; i < animationTrackCount; ++i) {
        animationTracks[i] = ReadU32(source);
        if (v2) animationTrackExtras[i] = ReadU32(source);
    }
    userParameterCount = ReadU32(source);
    // Each parameter takes at least its id and length.
    userParameters = NewArray<UserParameter>(source, &userParameterCount, 8);
    for (unsigned int i = 0; i < userParameterCount; ++i) {
        UserParameter& p = userParameters[i];
        p.id = ReadU32(source);
        p.length = ReadU32(source);
        p.value = ReadBlock(source, &p.length, 1);
    }
    if (v2) trailingFlag = ReadBool(source);
}

Object3D::~Object3D() {
    delete[] animationTracks;
    delete[] animationTrackExtras;
    for (unsigned int i = 0; i < userParameterCount; ++i) delete[] userParameters[i].value;
    delete[] userParameters;
}

Uniform* Object3D::CreateAttachUniform(SceneNode* node, Loader::NameType type, unsigned int index) {
    return CreateAttachNamedUniform(node, loader->CreateName(type, index));
}

Uniform* Object3D::CreateAttachNamedUniform(SceneNode* node, char* name) {
    Uniform* uniform = new Uniform();
    uniform->SetName(name, false);
    loader->GetScene()->objects.Add(uniform);
    UniformState* state = new UniformState(uniform);
    loader->GetScene()->objects.Add(state);
    if (node) node->Attach(state);
    return uniform;
}

Vec4 Object3D::ByteColor(const unsigned char* rgb, float alpha) {
    return Vec4(rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f, alpha);
}

}  // namespace M3G
