// Skinning at load time: bone slots and weights per vertex, batches of at most
// eight bones, and the bind matrices of each batch's bones.
#include "engine/SkinnedMesh.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/SceneNode.h"
#include "engine/VertexBatch.h"
#include "math/Mat3.h"
#include "math/Mat4.h"

SkinnedMesh::SkinnedMesh()
    : skeleton(nullptr),
      references(nullptr),
      numReferences(0),
      numVertices(0),
      boneIndices(AttributeArray::at_BoneIndex, NT_Byte, 4, false),
      boneWeights(AttributeArray::at_BoneWeight, NT_Float, 4, false) {}

SkinnedMesh::~SkinnedMesh() {
    delete[] references;
}

unsigned int SkinnedMesh::GetNumVertexArrays() {
    return numVertexArrays + 2;
}

AttributeArray* SkinnedMesh::GetVertexArray(unsigned int i) {
    if (i < numVertexArrays) return &vertexArrays[i];
    return i == numVertexArrays ? &boneIndices : &boneWeights;
}

void SkinnedMesh::SetTransformReferences(SceneNode* skeleton_, TransformReference* refs,
                                         unsigned int count) {
    if (refs != references) delete[] references;
    skeleton = skeleton_;
    references = refs;
    numReferences = refs ? count : 0;
}

bool SkinnedMesh::Covers(const TransformReference* r, unsigned int v) const {
    // In 64 bits: first vertex + count may pass 2^32 in a damaged file.
    return r->firstVertex <= v && uint64_t(v) < uint64_t(r->firstVertex) + r->vertexCount;
}

void SkinnedMesh::UpdateBatches() {
    if (numVertexArrays == 0) return;
    AttributeArray* positions = nullptr;
    for (unsigned int i = 0; i < numVertexArrays && !positions; ++i)
        if (vertexArrays[i].type == AttributeArray::at_Location) positions = &vertexArrays[i];
    if (!positions || positions->count == 0) {
        numVertices = 0;
        return;
    }
    numVertices = positions->count;
    delete[] boneIndices.data;
    delete[] boneWeights.data;
    boneIndices.data = new unsigned char[size_t(numVertices) * 4]();
    boneWeights.data = new unsigned char[size_t(numVertices) * 16]();
    boneIndices.count = numVertices;
    boneWeights.count = numVertices;

    ClearBatches(&batches);
    Vector<VertexBatch*> plain;
    CreateTriangleArrayBatches(&plain);
    for (VertexBatch* batch : plain) CreateTransformBatches(batch, &batches);
    ClearBatches(&plain);
}

unsigned int SkinnedMesh::BatchElement(VertexBatch* batch, unsigned int i) {
    if (!batch->indexed) return batch->firstVertex + i;
    if (batch->triangleArray >= numTriangleArrays) return 0;
    const AttributeArray& array = triangleArrays[batch->triangleArray];
    uint64_t at = uint64_t(batch->firstIndex) + i;
    if (!array.data || at >= uint64_t(array.count) * array.components) return 0;
    switch (array.numericType) {
    case NT_Byte:
        return array.data[at];
    case NT_Short: {
        uint16_t v;
        memcpy(&v, array.data + at * 2, 2);
        return v;
    }
    case NT_Int: {
        uint32_t v;
        memcpy(&v, array.data + at * 4, 4);
        return v;
    }
    default:
        return 0;
    }
}

void SkinnedMesh::CreateTransformBatches(VertexBatch* batch, Vector<VertexBatch*>* out) {
    Vector<TransformReference*> accepted;
    Vector<TransformReference*> fresh;
    unsigned int n = batch->count;
    if (n < 1) {
        CreateSubBatch(batch, &accepted, 0, 0, out);
        return;
    }
    // Many references may share a few bones, so the accepted set can be large:
    // membership is a flag per reference, and only its distinct bones (never
    // more than the limit) are listed, keeping each element linear in the
    // reference count.
    bool* isAccepted = numReferences ? new bool[numReferences]() : nullptr;
    Vector<SceneNode*> nodes(kMaxBatchBones + 1, 1);
    SceneNode* freshNodes[kMaxBatchBones + 1];
    unsigned int start = 0;
    unsigned int i = 0;
    while (i < n) {
        unsigned int v = BatchElement(batch, i);
        fresh.Clear();
        unsigned int numFreshNodes = 0;
        for (unsigned int r = 0; r < numReferences; ++r) {
            TransformReference* ref = &references[r];
            if (isAccepted[r] || !Covers(ref, v)) continue;
            fresh.Add(ref);
            // Counting stops once the limit is passed.
            if (nodes.Size() + numFreshNodes > kMaxBatchBones || nodes.Contains(ref->node))
                continue;
            bool seen = false;
            for (unsigned int k = 0; k < numFreshNodes && !seen; ++k)
                seen = freshNodes[k] == ref->node;
            if (!seen) freshNodes[numFreshNodes++] = ref->node;
        }
        if (nodes.Size() + numFreshNodes <= kMaxBatchBones) {
            for (TransformReference* ref : fresh) {
                accepted.Add(ref);
                isAccepted[ref - references] = true;
            }
            for (unsigned int k = 0; k < numFreshNodes; ++k) nodes.Add(freshNodes[k]);
            ++i;
            continue;
        }
        for (TransformReference* ref : accepted) isAccepted[ref - references] = false;
        nodes.Clear();
        // The sub-batch ends before element i - 1 and the next one starts three
        // elements back, so that a strip goes on without a gap.
        if (i >= start + 4) {
            CreateSubBatch(batch, &accepted, start, (i - 1) - start, out);
            accepted.Clear();
            start = i = i - 3;
            continue;
        }
        printf("Warning: too short batch\n");
        accepted.Clear();
        // Restart one element back, but always past the current start, or the
        // same overflow would come round forever; an element that alone needs
        // more than eight bones is skipped.
        unsigned int restart = i >= 2 ? i - 1 : i;
        if (restart <= start) restart = i > start ? i : i + 1;
        start = i = restart;
    }
    CreateSubBatch(batch, &accepted, start, n - start, out);
    delete[] isAccepted;
}

void SkinnedMesh::CreateSubBatch(VertexBatch* batch, Vector<TransformReference*>* refs,
                                 unsigned int first, unsigned int count,
                                 Vector<VertexBatch*>* out) {
    VertexBatch* sub = new VertexBatch;
    sub->primitive = batch->primitive;
    sub->indexed = batch->indexed;
    if (batch->indexed) {
        sub->triangleArray = batch->triangleArray;
        sub->firstIndex = batch->firstIndex + first;
    } else {
        sub->firstVertex = batch->firstVertex + first;
    }
    sub->count = count;

    Vector<unsigned int> slots;  // slot of each reference of refs, in order
    slots.Reserve(refs->Size());
    for (TransformReference* ref : *refs) {
        int slot = sub->bones.Find(ref->node);
        if (slot < 0) {
            slot = int(sub->bones.Size());
            sub->bones.Add(ref->node);
        }
        slots.Add(unsigned(slot));
    }
    unsigned int numBones = sub->bones.Size();
    if (numBones) {
        sub->boneMatrices = new Mat4[numBones];
        sub->boneNormalMatrices = new Mat3[numBones];
        for (unsigned int j = 0; j < numBones; ++j)
            CalculateBindingMatrix(skeleton, sub->bones[j], &sub->boneMatrices[j],
                                   &sub->boneNormalMatrices[j]);
    }

    for (unsigned int e = 0; e < count; ++e) {
        unsigned int v = BatchElement(sub, e);
        // Indices from a file may name vertices the arrays do not have.
        if (v >= numVertices) continue;
        unsigned char* index = boneIndices.data + size_t(v) * 4;
        float* weight = reinterpret_cast<float*>(boneWeights.data + size_t(v) * 16);
        int64_t w[kMaxInfluences] = {0, 0, 0, 0};
        int64_t total = 0;
        unsigned int used = 0;
        for (unsigned int k = 0; k < refs->Size(); ++k) {
            TransformReference* ref = (*refs)[k];
            if (!Covers(ref, v)) continue;
            unsigned int s = slots[k];
            unsigned int p = used;
            for (unsigned int q = 0; q < used; ++q) {
                if (index[q] == s) {
                    p = q;
                    break;
                }
            }
            if (p >= kMaxInfluences) {
                printf("Warning: too many bones per vertex, dropping smallest weight\n");
                int64_t smallest = int64_t(1) << 30;
                int m = -1;
                for (unsigned int q = 0; q < used; ++q) {
                    if (w[q] < smallest) {
                        smallest = w[q];
                        m = int(q);
                    }
                }
                if (m < 0 || w[m] >= ref->weight) continue;
                total -= w[m];
                w[m] = 0;
                p = unsigned(m);
            }
            w[p] += ref->weight;
            index[p] = (unsigned char)s;
            if (p == used) ++used;
            total += ref->weight;
        }
        for (unsigned int p = 0; p < kMaxInfluences; ++p) {
            if (p < used) {
                weight[p] = total != 0 ? float(w[p]) / float(total) : 0.0f;
            } else {
                index[p] = 0;
                weight[p] = 0.0f;
            }
        }
        if (used > sub->maxInfluences) sub->maxInfluences = used;
    }
    out->Add(sub);
}

void SkinnedMesh::CalculateBindingMatrix(SceneNode* skeleton_, SceneNode* bone, Mat4* matrix,
                                         Mat3* normalMatrix) {
    if (!bone) return;
    // Bring the dirty ancestors up to date from the top down.
    Vector<SceneSpatial*> chain;
    for (const SceneSpatial* s = bone; s; s = s->parent) chain.Add(const_cast<SceneSpatial*>(s));
    for (unsigned int k = chain.Size(); k-- > 0;)
        if (chain[k]->dirty) chain[k]->UpdateWorldTransform();

    Mat4 parentWorld;
    Mat3 parentNormal;
    if (skeleton_ && skeleton_->parent) {
        parentWorld = skeleton_->parent->world;
        parentNormal = skeleton_->parent->normalMatrix;
    }
    Mat4 inverse = bone->world;
    inverse.LoadInverse();
    Mat4::MatrixMultiplication(*matrix, inverse, parentWorld);
    Mat3 inverseNormal = bone->normalMatrix;
    inverseNormal.LoadInverse();
    Mat3::MatrixMultiplication(*normalMatrix, inverseNormal, parentNormal);
}
