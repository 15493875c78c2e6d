// A mesh whose vertices follow the nodes of a skeleton group.
#pragma once

#include "m3g/Mesh.h"

class SkinnedMesh;

namespace M3G {

class SkinnedMesh : public Mesh {
public:
    struct TransformReference {
        unsigned int node;  // object index
        unsigned int firstVertex;
        unsigned int vertexCount;
        int weight;
    };

    SkinnedMesh(DataSource* source, Loader* loader);
    ~SkinnedMesh() override;
    Type GetType() const override { return T_SkinnedMesh; }
    // The skeleton first, then one engine skinned mesh per submesh.
    void Create() override;
    // Skeleton and bone references of mesh; references that name no node are
    // left out.
    void CreateTransformReferences(::SkinnedMesh* mesh);
    // Vertices that get bone data: those of the mesh's first positions.
    static unsigned int BoneDataVertices(::SkinnedMesh* mesh);

    unsigned int skeleton;  // object index of a Group
    bool perVertexBones;    // 2.0 files: bones given per vertex
    bool secondFlag;
    unsigned int referenceCount;
    TransformReference* references;  // owned
    unsigned int boneCount;
    unsigned int furtherCount;
    unsigned int* bones;  // object indices; owned
    // One row per position of the mesh: boneCount bytes, or boneCount x 4
    // when there are more than 256 bones. Owned.
    unsigned char* boneTable;
    unsigned int boneTableRows;
};

}  // namespace M3G
