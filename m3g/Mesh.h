// A mesh node: one vertex buffer, and per submesh an index buffer and an
// appearance.
#pragma once

#include "m3g/Node.h"

class Mesh;

namespace M3G {

class Mesh : public Node {
public:
    struct Submesh {
        unsigned int indexBuffer;  // object indices
        unsigned int appearance;
    };

    Mesh(DataSource* source, Loader* loader);
    ~Mesh() override;
    Type GetType() const override { return T_Mesh; }
    // One engine mesh per submesh, each under a node of its appearance.
    void Create() override;
    // A new node carrying the appearance's material and texture states.
    SceneNode* CreateAppearance(unsigned int appearance);
    // Gives mesh the vertex arrays of the vertex buffer and the strips of the
    // index buffer.
    void CreateArrays(::Mesh* mesh, unsigned int indexBuffer);

    unsigned int vertexBuffer;
    unsigned int submeshCount;
    Submesh* submeshes;  // owned
};

}  // namespace M3G
