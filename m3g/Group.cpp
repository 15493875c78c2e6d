// Group records.
#include "m3g/Group.h"

#include <cstdio>

namespace M3G {

Group::Group(DataSource* source, Loader* loader) : Node(source, loader) {
    childCount = ReadU32(source);
    children = ReadU32Array(source, &childCount);
}

Group::~Group() {
    delete[] children;
}

void Group::Create() {
    for (unsigned int i = 0; i < childCount; ++i) {
        Object* child = loader->GetObject(children[i]);
        if (!child) continue;
        switch (child->GetType()) {
        case T_Camera:
        case T_Group:
        case T_Light:
        case T_Mesh:
        case T_SkinnedMesh:
            AttachChild(static_cast<Node*>(child), children[i], "M3G::Group::Create");
            break;
        default:
            printf("M3G::Group::Create(): unsupported object %d, type %d\n", int(children[i]),
                   int(child->GetType()));
            break;
        }
    }
}

}  // namespace M3G
