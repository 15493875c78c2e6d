// Bone batching of skinned meshes done the plain way, as the reference that
// SkinnedMesh::UpdateBatches must reproduce exactly: for each element every
// reference not yet in the sub-batch is tested (time elements x references);
// the sub-batch ends when a ninth bone would join, and the next starts three
// elements back. Shared by tests/test_skinned_mesh.cpp and bench/bench_skin.cpp,
// with the generated meshes both run it on.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <vector>

#include "engine/AttributeArray.h"
#include "engine/SceneNode.h"
#include "engine/SkinnedMesh.h"
#include "engine/VertexBatch.h"

namespace testsupport {

struct BatchInfo {
    unsigned int primitive, indexed, array, first, count, maxInfluences;
    std::vector<SceneNode*> bones;
    bool operator==(const BatchInfo& o) const {
        return primitive == o.primitive && indexed == o.indexed && array == o.array &&
               first == o.first && count == o.count && maxInfluences == o.maxInfluences &&
               bones == o.bones;
    }
};

inline std::ostream& operator<<(std::ostream& os, const BatchInfo& b) {
    return os << "{" << b.primitive << " " << b.indexed << " " << b.array << " " << b.first << "+"
              << b.count << " inf " << b.maxInfluences << " bones " << b.bones.size() << "}";
}

struct SkinResult {
    std::vector<BatchInfo> batches;
    std::vector<unsigned char> slots;  // 4 per vertex
    std::vector<float> weights;        // 4 per vertex
    unsigned int tooShort = 0, tooMany = 0;
};

// The batches, slots and weights the mesh holds.
inline SkinResult SkinOf(const SkinnedMesh& mesh) {
    SkinResult r;
    for (const VertexBatch* b : mesh.batches)
        r.batches.push_back({b->primitive, b->indexed, b->indexed ? b->triangleArray : 0,
                             b->indexed ? b->firstIndex : b->firstVertex, b->count, b->maxInfluences,
                             std::vector<SceneNode*>(b->bones.begin(), b->bones.end())});
    r.slots.assign(mesh.boneIndices.data, mesh.boneIndices.data + size_t(mesh.numVertices) * 4);
    const float* w = reinterpret_cast<const float*>(mesh.boneWeights.data);
    r.weights.assign(w, w + size_t(mesh.numVertices) * 4);
    return r;
}

class ReferenceSkinning {
public:
    explicit ReferenceSkinning(SkinnedMesh& m) : mesh(m) {}

    SkinResult Run() {
        unsigned int vertices = 0;
        for (unsigned int i = 0; i < mesh.numVertexArrays && !vertices; ++i)
            if (mesh.vertexArrays[i].type == AttributeArray::at_Location)
                vertices = mesh.vertexArrays[i].count;
        numVertices = vertices;
        result.slots.assign(size_t(vertices) * 4, 0);
        result.weights.assign(size_t(vertices) * 4, 0.0f);
        Vector<VertexBatch*> plain;
        mesh.CreateTriangleArrayBatches(&plain);
        for (VertexBatch* batch : plain) TransformBatches(batch);
        Mesh::ClearBatches(&plain);
        return result;
    }

private:
    bool Covers(const TransformReference* r, unsigned int v) {
        return r->firstVertex <= v && uint64_t(v) < uint64_t(r->firstVertex) + r->vertexCount;
    }

    void TransformBatches(VertexBatch* batch) {
        std::vector<TransformReference*> accepted, fresh;
        unsigned int n = batch->count;
        if (n < 1) return SubBatch(batch, accepted, 0, 0);
        std::vector<bool> isAccepted(mesh.numReferences, false);
        std::vector<SceneNode*> nodes;
        unsigned int start = 0, i = 0;
        while (i < n) {
            unsigned int v = mesh.BatchElement(batch, i);
            fresh.clear();
            std::vector<SceneNode*> freshNodes;
            for (unsigned int r = 0; r < mesh.numReferences; ++r) {
                TransformReference* ref = &mesh.references[r];
                if (isAccepted[r] || !Covers(ref, v)) continue;
                fresh.push_back(ref);
                if (std::find(nodes.begin(), nodes.end(), ref->node) == nodes.end() &&
                    std::find(freshNodes.begin(), freshNodes.end(), ref->node) == freshNodes.end())
                    freshNodes.push_back(ref->node);
            }
            if (nodes.size() + freshNodes.size() <= 8) {
                for (TransformReference* ref : fresh) {
                    accepted.push_back(ref);
                    isAccepted[ref - mesh.references] = true;
                }
                nodes.insert(nodes.end(), freshNodes.begin(), freshNodes.end());
                ++i;
                continue;
            }
            for (TransformReference* ref : accepted) isAccepted[ref - mesh.references] = false;
            nodes.clear();
            if (i >= start + 4) {
                SubBatch(batch, accepted, start, (i - 1) - start);
                accepted.clear();
                start = i = i - 3;
                continue;
            }
            ++result.tooShort;
            accepted.clear();
            unsigned int restart = i >= 2 ? i - 1 : i;
            if (restart <= start) restart = i > start ? i : i + 1;
            start = i = restart;
        }
        SubBatch(batch, accepted, start, n - start);
    }

    void SubBatch(VertexBatch* batch, const std::vector<TransformReference*>& refs,
                  unsigned int first, unsigned int count) {
        BatchInfo info = {batch->primitive,
                          batch->indexed,
                          batch->indexed ? batch->triangleArray : 0,
                          (batch->indexed ? batch->firstIndex : batch->firstVertex) + first,
                          count,
                          0,
                          {}};
        std::vector<unsigned int> slots;
        for (TransformReference* ref : refs) {
            auto at = std::find(info.bones.begin(), info.bones.end(), ref->node);
            slots.push_back(unsigned(at - info.bones.begin()));
            if (at == info.bones.end()) info.bones.push_back(ref->node);
        }
        VertexBatch sub;
        sub.indexed = batch->indexed;
        sub.triangleArray = batch->triangleArray;
        sub.firstIndex = batch->firstIndex + first;
        sub.firstVertex = batch->firstVertex + first;
        for (unsigned int e = 0; e < count; ++e) {
            unsigned int v = mesh.BatchElement(&sub, e);
            if (v >= numVertices) continue;
            unsigned char* index = &result.slots[size_t(v) * 4];
            float* weight = &result.weights[size_t(v) * 4];
            int64_t w[4] = {0, 0, 0, 0};
            int64_t total = 0;
            unsigned int used = 0;
            for (size_t k = 0; k < refs.size(); ++k) {
                TransformReference* ref = refs[k];
                if (!Covers(ref, v)) continue;
                unsigned int s = slots[k], p = used;
                for (unsigned int q = 0; q < used; ++q)
                    if (index[q] == s) {
                        p = q;
                        break;
                    }
                if (p >= 4) {
                    ++result.tooMany;
                    int64_t smallest = int64_t(1) << 30;
                    int m = -1;
                    for (unsigned int q = 0; q < used; ++q)
                        if (w[q] < smallest) {
                            smallest = w[q];
                            m = int(q);
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
            for (unsigned int p = 0; p < 4; ++p) {
                if (p < used) {
                    weight[p] = total != 0 ? float(w[p]) / float(total) : 0.0f;
                } else {
                    index[p] = 0;
                    weight[p] = 0.0f;
                }
            }
            info.maxInfluences = std::max(info.maxInfluences, used);
        }
        result.batches.push_back(info);
    }

    SkinnedMesh& mesh;
    unsigned int numVertices = 0;
    SkinResult result;
};

// A skinned mesh over `vertices` positions under a skeleton of bones of its
// own (the skeleton under a root), drawn through one triangle array: implicit
// strips of the given lengths, or indices of `indexSize` bytes cut by them.
struct SkinRig {
    struct Ref {
        int bone;  // -1: a reference without a node
        uint32_t first, count;
        int weight;
    };
    SkinRig(unsigned int vertices, unsigned int numBones, const std::vector<Ref>& refs,
            const std::vector<uint32_t>& lengths, const std::vector<uint32_t>& indices = {},
            unsigned int indexSize = 2, unsigned int firstVertex = 0)
        : bones(numBones) {
        root.Attach(&skeleton);
        for (auto& bone : bones) {
            bone.reset(new SceneNode);
            skeleton.Attach(bone.get());
        }
        AttributeArray* arrays = new AttributeArray[1];
        arrays[0].count = vertices;
        arrays[0].data = new unsigned char[size_t(vertices) * 12 + 1]();
        mesh.SetVertexArrays(arrays, 1);
        AttributeArray* triangles = new AttributeArray[1];
        if (indices.empty()) {
            triangles[0] = Uint32Array(AttributeArray::at_StripLengths, lengths);
        } else {
            NumericType type = indexSize == 1 ? NT_Byte : indexSize == 2 ? NT_Short : NT_Int;
            triangles[0] = AttributeArray(AttributeArray::at_TrianleStrip, type, 1, false);
            triangles[0].count = unsigned(indices.size());
            triangles[0].data = new unsigned char[indices.size() * indexSize + 1];
            for (size_t i = 0; i < indices.size(); ++i)
                memcpy(triangles[0].data + i * indexSize, &indices[i], indexSize);
            mesh.stripLengths =
                new AttributeArray(Uint32Array(AttributeArray::at_StripLengths, lengths));
        }
        mesh.SetTriangleArrays(triangles, 1);
        mesh.firstVertex = firstVertex;
        TransformReference* r = new TransformReference[refs.size() + 1];
        for (size_t i = 0; i < refs.size(); ++i)
            r[i] = {refs[i].bone < 0 ? nullptr : bones[refs[i].bone].get(), refs[i].first,
                    refs[i].count, refs[i].weight};
        mesh.SetTransformReferences(&skeleton, r, unsigned(refs.size()));
    }
    static AttributeArray Uint32Array(AttributeArray::Type type, const std::vector<uint32_t>& v) {
        AttributeArray a(type, NT_Int, 1, false);
        a.count = unsigned(v.size());
        a.data = new unsigned char[v.size() * 4 + 1];
        if (!v.empty()) memcpy(a.data, v.data(), v.size() * 4);
        return a;
    }
    SceneNode root, skeleton;
    std::vector<std::unique_ptr<SceneNode>> bones;
    SkinnedMesh mesh;
};

// A large skinned character's layout: two references per vertex pair, each
// over three vertices, to neighbouring bones that change every `span` vertices.
inline std::vector<SkinRig::Ref> CharacterRefs(unsigned int vertices, unsigned int bones,
                                               unsigned int span) {
    std::vector<SkinRig::Ref> refs;
    for (uint32_t r = 0; r < 2 * vertices; ++r) {
        uint32_t first = r / 2;
        refs.push_back({int((first / span + r % 2) % bones), first, 3, int(1 + r % 7)});
    }
    return refs;
}

}  // namespace testsupport
