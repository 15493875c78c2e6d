// A mesh whose vertices follow the bone nodes of a skeleton: per-vertex bone
// slots and weights, and batches cut so that each uses at most eight bones.
#pragma once

#include "engine/AttributeArray.h"
#include "engine/Mesh.h"
#include "math/Types.h"

class Mat3;
class Mat4;
class SceneNode;

// One bone's influence on a range of vertices.
struct TransformReference {
    SceneNode* node;  // the bone; not owned
    unsigned int firstVertex;
    unsigned int vertexCount;
    int weight;  // arbitrary integer units, normalised per vertex
};

class SkinnedMesh : public Mesh {
public:
    // Bones one batch may use: the shader holds eight bone matrices.
    static const unsigned int kMaxBatchBones = 8;
    // Bone slots per vertex.
    static const unsigned int kMaxInfluences = 4;

    SkinnedMesh();
    ~SkinnedMesh() override;

    unsigned int GetType() const override { return RT_SkinnedMesh; }
    // The mesh's arrays, then the bone-index and bone-weight arrays.
    unsigned int GetNumVertexArrays() override;
    AttributeArray* GetVertexArray(unsigned int i) override;
    // Rebuilds the bone data and the batches; the bind pose is the skeleton's
    // pose at this call.
    void UpdateBatches() override;

    // Takes ownership of `refs` (from new[]); earlier references are released.
    void SetTransformReferences(SceneNode* skeleton, TransformReference* refs, unsigned int count);

    void CreateTransformBatches(VertexBatch* batch, Vector<VertexBatch*>* out);
    void CreateSubBatch(VertexBatch* batch, Vector<TransformReference*>* refs, unsigned int first,
                        unsigned int count, Vector<VertexBatch*>* out);
    void CalculateBindingMatrix(SceneNode* skeleton, SceneNode* bone, Mat4* matrix,
                                Mat3* normalMatrix);
    // Vertex drawn by element i of a batch of this mesh (needs the mesh's
    // triangle arrays, so it is not static); 0 past the array's data.
    unsigned int BatchElement(VertexBatch* batch, unsigned int i);

    SceneNode* skeleton;             // not owned; its parent's space is the mesh's space
    TransformReference* references;  // owned (array delete)
    unsigned int numReferences;
    unsigned int numVertices;    // of the at_Location array, 0 without one
    AttributeArray boneIndices;  // 4 bytes per vertex: bone slots of its batch
    AttributeArray boneWeights;  // 4 floats per vertex

private:
    bool Covers(const TransformReference* r, unsigned int v) const;
};
