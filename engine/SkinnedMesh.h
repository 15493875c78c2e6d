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
    // Bone data per vertex: four slot bytes and four float weights.
    static const unsigned int kBoneDataBytes = 20;

    SkinnedMesh();
    ~SkinnedMesh() override;

    unsigned int GetType() const override { return RT_SkinnedMesh; }
    // The mesh's arrays, then the bone-index and bone-weight arrays.
    unsigned int GetNumVertexArrays() override;
    AttributeArray* GetVertexArray(unsigned int i) override;
    // Rebuilds the bone data and the batches; the bind pose is the skeleton's
    // pose at this call. Time and memory stay near-linear in elements,
    // references and vertices: a mesh whose sub-batches would need more than
    // batchBytesLimit, or whose references overlap so that batching would
    // take far longer, is left without batches (with a message).
    void UpdateBatches() override;

    // Takes ownership of `refs` (from new[]); earlier references are released.
    void SetTransformReferences(SceneNode* skeleton, TransformReference* refs, unsigned int count);

    // Cuts one plain batch into sub-batches of at most eight bones; false
    // when a limit of UpdateBatches stopped it.
    bool CreateTransformBatches(VertexBatch* batch, Vector<VertexBatch*>* out);
    // One sub-batch over the given references (in that order), for callers
    // that hold such a list; batching itself works from its own index.
    void CreateSubBatch(VertexBatch* batch, Vector<TransformReference*>* refs, unsigned int first,
                        unsigned int count, Vector<VertexBatch*>* out);
    void CalculateBindingMatrix(SceneNode* skeleton, SceneNode* bone, Mat4* matrix,
                                Mat3* normalMatrix);
    // Vertex drawn by element i of a batch of this mesh (needs the mesh's
    // triangle arrays, so it is not static); 0 past the array's data.
    unsigned int BatchElement(VertexBatch* batch, unsigned int i);

    // Sub-batch memory allowed to UpdateBatches (unlimited at first), and
    // what the last call needed.
    unsigned long long batchBytesLimit;
    unsigned long long batchBytes;

    SceneNode* skeleton;             // not owned; its parent's space is the mesh's space
    TransformReference* references;  // owned (array delete)
    unsigned int numReferences;
    unsigned int numVertices;    // of the at_Location array, 0 without one
    AttributeArray boneIndices;  // 4 bytes per vertex: bone slots of its batch
    AttributeArray boneWeights;  // 4 floats per vertex

private:
    struct SkinWork;

    bool Covers(const TransformReference* r, unsigned int v) const;
    // A sub-batch of the plain batch with these bones and their bind matrices.
    VertexBatch* NewSubBatch(VertexBatch* batch, SceneNode* const* bones, unsigned int numBones,
                             unsigned int first, unsigned int count);
    // The sub-batch of the walk's current list; false past a limit.
    bool CreateSubBatch(SkinWork* w, VertexBatch* batch, unsigned int first, unsigned int count,
                        Vector<VertexBatch*>* out);

    SkinWork* work;  // the index and state of UpdateBatches while it runs
};
