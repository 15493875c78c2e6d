// Common object fields.
#include "m3g/Object3D.h"

#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "engine/Uniform.h"
#include "render/UniformState.h"

#include "io/DataSource.h"

namespace M3G {

Object3D::Object3D(DataSource* source, Loader* loader_)
    : loader(loader_), animationTrackExtras(nullptr), userParameters(nullptr), trailingFlag(false) {
    bool v2 = loader->GetVersion() == 1;
    userID = ReadU32(source);
    animationTrackCount = ReadU32(source);
    if (!Fits(source, animationTrackCount, v2 ? 8 : 4)) animationTrackCount = 0;
    animationTracks = animationTrackCount ? new unsigned int[animationTrackCount] : nullptr;
    if (v2 && animationTrackCount) animationTrackExtras = new unsigned int[animationTrackCount];
    for (unsigned int i = 0; i < animationTrackCount; ++i) {
        animationTracks[i] = ReadU32(source);
        if (v2) animationTrackExtras[i] = ReadU32(source);
    }
    userParameterCount = ReadU32(source);
    // Each parameter takes at least its id and length.
    if (!Fits(source, userParameterCount, 8)) userParameterCount = 0;
    if (userParameterCount) userParameters = new UserParameter[userParameterCount];
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

}  // namespace M3G

namespace M3G {

Uniform* Object3D::CreateAttachUniform(SceneNode* node, Loader::NameType type, unsigned int index) {
    Uniform* uniform = new Uniform();
    uniform->SetName(loader->CreateName(type, index), false);
    UniformState* state = new UniformState(uniform);
    loader->GetScene()->objects.Add(uniform);
    loader->GetScene()->objects.Add(state);
    if (node) node->Attach(state);
    return uniform;
}

}  // namespace M3G
