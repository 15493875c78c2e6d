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
    // A new node carrying the appearance's material and texture states; null
    // past the loader's budget.
    SceneNode* CreateAppearance(unsigned int appearance);
    // Gives mesh the vertex arrays of the vertex buffer and the strips of the
    // index buffer. Arrays are shared with the other meshes of the file
    // where nothing writes them; implicit strips are cut to the vertices the
    // arrays hold. False past the loader's budget.
    bool CreateArrays(::Mesh* mesh, unsigned int indexBuffer);

    // What a Vector's first block costs (ten pointers), for the budget.
    static const unsigned int kVectorBytes = 10 * sizeof(void*);

    unsigned int vertexBuffer;
    unsigned int submeshCount;
    Submesh* submeshes;  // owned
};

}  // namespace M3G
