// Skinned meshes: per-vertex bone slots and weights, batches of at most eight
// bones, the restart rules when a batch overflows, bind matrices, and
// batching compared with the plain procedure on generated meshes.
#include "engine/AttributeArray.h"
#include "engine/SceneNode.h"
#include "engine/SkinnedMesh.h"
#include "engine/VertexBatch.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

struct Ref {
    int bone;  // index into the rig's bones
    unsigned int first, count;
    int weight;
};

// A skeleton of ten bones under a root, and a mesh of n vertices drawn as one
// non-indexed strip (or through the given 16-bit indices).
struct Rig {
    Rig(unsigned int n, const std::vector<Ref>& refs, const std::vector<uint16_t>& indices = {}) {
        for (SceneNode& bone : bones) skeleton.Attach(&bone);
        root.Attach(&skeleton);
        AttributeArray* arrays = new AttributeArray[1];
        arrays[0].count = n;
        arrays[0].data = new unsigned char[n * 12]();
        mesh.SetVertexArrays(arrays, 1);
        AttributeArray* triangles = new AttributeArray[1];
        if (indices.empty()) {
            triangles[0] = AttributeArray(AttributeArray::at_StripLengths, NT_Int, 1, false);
            triangles[0].count = 1;
            triangles[0].data = new unsigned char[4];
            memcpy(triangles[0].data, &n, 4);
        } else {
            triangles[0] = AttributeArray(AttributeArray::at_TrianleStrip, NT_Short, 1, false);
            triangles[0].count = unsigned(indices.size());
            triangles[0].data = new unsigned char[indices.size() * 2];
            memcpy(triangles[0].data, indices.data(), indices.size() * 2);
            mesh.stripLengths =
                new AttributeArray(AttributeArray::at_StripLengths, NT_Int, 1, false);
            mesh.stripLengths->count = 1;
            mesh.stripLengths->data = new unsigned char[4];
            unsigned int length = unsigned(indices.size());
            memcpy(mesh.stripLengths->data, &length, 4);
        }
        mesh.SetTriangleArrays(triangles, 1);
        TransformReference* r = new TransformReference[refs.size()];
        for (size_t i = 0; i < refs.size(); ++i)
            r[i] = {&bones[refs[i].bone], refs[i].first, refs[i].count, refs[i].weight};
        mesh.SetTransformReferences(&skeleton, r, unsigned(refs.size()));
    }
    std::string Update() {
        CaptureFd out(1);
        mesh.UpdateBatches();
        return out.Stop();
    }
    std::vector<std::array<unsigned, 3>> Batches() {  // first, count, bones
        std::vector<std::array<unsigned, 3>> list;
        for (VertexBatch* b : mesh.batches)
            list.push_back(
                {b->indexed ? b->firstIndex : b->firstVertex, b->count, b->bones.Size()});
        return list;
    }
    std::vector<int> Slots(unsigned int v) {
        const unsigned char* p = mesh.boneIndices.data + v * 4;
        return {p[0], p[1], p[2], p[3]};
    }
    std::vector<float> Weights(unsigned int v) {
        const float* p = reinterpret_cast<const float*>(mesh.boneWeights.data) + v * 4;
        return {p[0], p[1], p[2], p[3]};
    }
    SceneNode root, skeleton;
    SceneNode bones[10];
    SkinnedMesh mesh;
};

}  // namespace

TEST(SkinnedMeshWeights, NormalisedInReferenceOrder) {
    Rig rig(3, {{4, 0, 3, 3}, {2, 1, 1, 1}});
    EXPECT_EQ(rig.Update(), "");
    EXPECT_EQ(rig.Slots(1), (std::vector<int>{0, 1, 0, 0}));
    EXPECT_EQ(rig.Weights(1), (std::vector<float>{0.75f, 0.25f, 0.0f, 0.0f}));
    EXPECT_EQ(rig.Weights(0), (std::vector<float>{1.0f, 0.0f, 0.0f, 0.0f}));
    ASSERT_EQ(rig.mesh.batches.Size(), 1u);
    VertexBatch* b = rig.mesh.batches[0];
    EXPECT_EQ(b->bones[0], &rig.bones[4]);
    EXPECT_EQ(b->bones[1], &rig.bones[2]);
    EXPECT_EQ(b->maxInfluences, 2u);
    EXPECT_EQ(rig.mesh.GetNumVertexArrays(), 3u);
    EXPECT_EQ(rig.mesh.GetVertexArray(1), &rig.mesh.boneIndices);
    EXPECT_EQ(rig.mesh.GetVertexArray(2), &rig.mesh.boneWeights);
}

TEST(SkinnedMeshWeights, TwoReferencesToOneNodeShareASlot) {
    Rig rig(1, {{3, 0, 1, 2}, {5, 0, 1, 4}, {3, 0, 1, 2}});
    rig.Update();
    EXPECT_EQ(rig.Slots(0), (std::vector<int>{0, 1, 0, 0}));
    EXPECT_EQ(rig.Weights(0), (std::vector<float>{0.5f, 0.5f, 0.0f, 0.0f}));
    EXPECT_EQ(rig.Batches(), (std::vector<std::array<unsigned, 3>>{{0, 1, 2}}));
}

// A fifth bone takes the place of the smallest weight so far (the first of
// equal ones) when it is larger, and is dropped otherwise; once per vertex.
TEST(SkinnedMeshWeights, AFifthBoneReplacesTheSmallestWeightOrIsDropped) {
    const struct {
        std::vector<int> weights, slots, kept;
    } cases[] = {
        {{5, 4, 3, 2, 1}, {0, 1, 2, 3}, {5, 4, 3, 2}},
        {{1, 2, 3, 4, 5}, {4, 1, 2, 3}, {5, 2, 3, 4}},
        {{2, 1, 1, 3, 5}, {0, 4, 2, 3}, {2, 5, 1, 3}},
        {{2, 2, 2, 2, 2}, {0, 1, 2, 3}, {2, 2, 2, 2}},
        {{1, 2, 3, 4, 5, 6}, {4, 5, 2, 3}, {5, 6, 3, 4}},
    };
    for (const auto& c : cases) {
        std::vector<Ref> refs;
        for (size_t b = 0; b < c.weights.size(); ++b) refs.push_back({int(b), 0, 1, c.weights[b]});
        Rig rig(1, refs);
        EXPECT_EQ(rig.Update(), "Warning: too many bones per vertex, dropping smallest weight\n");
        EXPECT_EQ(rig.Slots(0), c.slots) << c.weights[0];
        int total = c.kept[0] + c.kept[1] + c.kept[2] + c.kept[3];
        std::vector<float> shares;
        for (int w : c.kept) shares.push_back(float(w) / float(total));
        EXPECT_EQ(rig.Weights(0), shares) << c.weights[0];
        EXPECT_EQ(rig.mesh.batches[0]->maxInfluences, 4u);
    }
}

TEST(SkinnedMeshBatches, NinthBoneSplitsAndTheNextStartsThreeBack) {
    // Bone b moves vertex b (b < 8) and bone 8 vertices 10..13: elements 0..9
    // need eight bones, element 10 a ninth.
    std::vector<Ref> refs = {{8, 10, 4, 1}};
    for (int b = 0; b < 8; ++b) refs.push_back({b, unsigned(b), 1, 1});
    Rig rig(14, refs);
    EXPECT_EQ(rig.Update(), "");
    EXPECT_EQ(rig.Batches(), (std::vector<std::array<unsigned, 3>>{{0, 9, 8}, {7, 7, 2}}));
}

TEST(SkinnedMeshBatches, TooShortBatchAlwaysMovesOn) {
    // Vertex 1 alone needs nine bones: the loop must still end, dropping it.
    std::vector<Ref> refs;
    for (int b = 0; b < 9; ++b) refs.push_back({b, 1, 1, 1});
    Rig rig(3, refs);
    EXPECT_EQ(rig.Update(), "Warning: too short batch\nWarning: too short batch\n");
    EXPECT_EQ(rig.Batches(), (std::vector<std::array<unsigned, 3>>{{2, 1, 0}}));
}

TEST(SkinnedMeshBatches, MeshWithoutPositionsKeepsItsBatches) {
    SkinnedMesh mesh;
    AttributeArray* arrays = new AttributeArray[1];
    arrays[0] = AttributeArray(AttributeArray::at_Normal, NT_Float, 3, false);
    arrays[0].count = 3;
    arrays[0].data = new unsigned char[36]();
    mesh.SetVertexArrays(arrays, 1);
    mesh.vertexCount = 3;
    mesh.Mesh::UpdateBatches();
    mesh.UpdateBatches();
    EXPECT_EQ(mesh.numVertices, 0u);
    EXPECT_EQ(mesh.boneIndices.data, nullptr);
    EXPECT_EQ(mesh.boneWeights.count, 0u);
    EXPECT_EQ(mesh.batches.Size(), 1u);
}

TEST(SkinnedMeshBind, InverseBoneWorldTimesSkeletonParent) {
    Rig rig(1, {{0, 0, 1, 1}});
    rig.root.transform.translation = Vec3(1, 0, 0);
    rig.bones[0].transform.translation = Vec3(0, 2, 0);
    rig.Update();
    const Mat4& bind = rig.mesh.batches[0]->boneMatrices[0];
    // Root at x = 1, bone world at (1, 2): the bind matrix moves by (0, -2).
    EXPECT_FLOAT_EQ(bind.m[12], 0.0f);
    EXPECT_FLOAT_EQ(bind.m[13], -2.0f);
    EXPECT_FLOAT_EQ(bind.m[0], 1.0f);
}

// Batching from an index of the references by vertex must give exactly what
// the plain procedure gives: that procedure, kept here as the reference, scans
// every reference for every element and so takes time elements x references.
namespace {

struct BatchInfo {
    unsigned int primitive, indexed, array, first, count, maxInfluences;
    std::vector<SceneNode*> bones;
    bool operator==(const BatchInfo& o) const {
        return primitive == o.primitive && indexed == o.indexed && array == o.array &&
               first == o.first && count == o.count && maxInfluences == o.maxInfluences &&
               bones == o.bones;
    }
};

struct SkinResult {
    std::vector<BatchInfo> batches;
    std::vector<unsigned char> slots;  // 4 per vertex
    std::vector<float> weights;        // 4 per vertex
    unsigned int tooShort = 0, tooMany = 0;
};

std::ostream& operator<<(std::ostream& os, const BatchInfo& b) {
    return os << "{" << b.primitive << " " << b.indexed << " " << b.array << " " << b.first << "+"
              << b.count << " inf " << b.maxInfluences << " bones " << b.bones.size() << "}";
}

BatchInfo Info(const VertexBatch* b) {
    return {b->primitive, b->indexed, b->indexed ? b->triangleArray : 0,
            b->indexed ? b->firstIndex : b->firstVertex, b->count, b->maxInfluences,
            std::vector<SceneNode*>(b->bones.begin(), b->bones.end())};
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

// A skinned mesh over `vertices` positions, with bones of its own, drawn
// through one triangle array: implicit strips of the given lengths, or
// indices of `indexSize` bytes cut by the lengths.
struct GeneratedRig {
    struct GenRef {
        int bone;  // -1: a reference without a node
        uint32_t first, count;
        int weight;
    };
    GeneratedRig(unsigned int vertices, unsigned int numBones, const std::vector<GenRef>& refs,
                 const std::vector<uint32_t>& lengths, const std::vector<uint32_t>& indices = {},
                 unsigned int indexSize = 2, unsigned int firstVertex = 0)
        : bones(numBones) {
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
    SkinResult Indexed() {
        SkinResult r;
        std::istringstream lines(Run());
        for (std::string line; std::getline(lines, line);) {
            r.tooShort += line == "Warning: too short batch";
            r.tooMany += line == "Warning: too many bones per vertex, dropping smallest weight";
        }
        for (VertexBatch* b : mesh.batches) r.batches.push_back(Info(b));
        r.slots.assign(mesh.boneIndices.data, mesh.boneIndices.data + mesh.numVertices * 4);
        const float* w = reinterpret_cast<const float*>(mesh.boneWeights.data);
        r.weights.assign(w, w + mesh.numVertices * 4);
        return r;
    }
    std::string Run() {
        CaptureFd out(1);
        mesh.UpdateBatches();
        return out.Stop();
    }
    SceneNode skeleton;
    std::vector<std::unique_ptr<SceneNode>> bones;
    SkinnedMesh mesh;
};

using GenRef = GeneratedRig::GenRef;

void ExpectSameAsReference(GeneratedRig& rig) {
    SkinResult mine = rig.Indexed();
    SkinResult reference = ReferenceSkinning(rig.mesh).Run();
    EXPECT_EQ(mine.batches, reference.batches);
    EXPECT_EQ(mine.slots, reference.slots);
    EXPECT_EQ(mine.weights, reference.weights);
    EXPECT_EQ(mine.tooShort, reference.tooShort);
    // Once per vertex group of a sub-batch rather than once per event.
    EXPECT_EQ(mine.tooMany > 0, reference.tooMany > 0);
    EXPECT_LE(mine.tooMany, reference.tooMany);
}

// Lengths that cut n elements into strips of 1 to 40.
std::vector<uint32_t> Cut(std::mt19937& rng, unsigned int n) {
    std::vector<uint32_t> lengths;
    while (n) {
        uint32_t l = std::min<uint32_t>(n, 1 + rng() % 40);
        lengths.push_back(l);
        n -= l;
    }
    return lengths;
}

// A random walk over the vertices, as strips over a mesh's surface go.
std::vector<uint32_t> Walk(std::mt19937& rng, unsigned int n, unsigned int vertices) {
    std::vector<uint32_t> indices;
    int v = int(rng() % vertices);
    for (unsigned int i = 0; i < n; ++i) {
        v = std::max(0, std::min(int(vertices) - 1, v + int(rng() % 11) - 5));
        indices.push_back(uint32_t(v));
    }
    return indices;
}

}  // namespace

TEST(SkinBatching, LocalBonesAsInARealMesh) {
    for (unsigned int seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        const unsigned int kVertices = 600, kBones = 30;
        std::vector<GenRef> refs;
        for (int i = 0; i < 900; ++i) {
            uint32_t first = rng() % kVertices;
            int bone = int((first / 40 + rng() % 3) % kBones);
            uint32_t count = uint32_t(1 + rng() % 6);
            refs.push_back({bone, first, count, int(1 + rng() % 50)});
        }
        std::vector<uint32_t> indices = Walk(rng, 2000, kVertices);
        GeneratedRig rig(kVertices, kBones, refs, Cut(rng, 2000), indices, seed % 2 ? 2 : 4);
        ExpectSameAsReference(rig);
        EXPECT_GT(rig.mesh.batches.Size(), 1u);
    }
}

// Nine and more bones per vertex and per strip: sub-batches end, restart
// three back, or are too short and skip ahead; vertices under five and more
// bones replace or drop weights.
TEST(SkinBatching, MoreThanEightBones) {
    for (unsigned int seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        const unsigned int kVertices = 250;
        std::vector<GenRef> refs;
        for (int i = 0; i < 500; ++i) {
            int bone = int(rng() % 14);
            uint32_t first = uint32_t(rng() % kVertices);
            uint32_t count = uint32_t(1 + rng() % 4);
            refs.push_back({bone, first, count, int(1 + rng() % 9)});
        }
        // A few vertices under twelve bones at once.
        for (int b = 0; b < 12; ++b) refs.push_back({b, 17, 2, 1});
        std::vector<uint32_t> indices = Walk(rng, 700, kVertices);
        GeneratedRig rig(kVertices, 14, refs, Cut(rng, 700), indices, 1);
        SkinResult mine = rig.Indexed();
        EXPECT_GT(mine.tooShort, 0u);
        EXPECT_GT(mine.tooMany, 0u);
        ExpectSameAsReference(rig);
    }
}

// Indices naming vertices the mesh lacks, ranges that pass 2^32, references
// covering nothing or naming no node, and thousands of references over the
// whole mesh interleaving four bones.
TEST(SkinBatching, DamagedAndOverlappingReferences) {
    std::mt19937 rng(7);
    std::vector<GenRef> refs = {{-1, 3, 5, 4}, {2, 0xFFFFFFF0u, 0x40, 3}, {3, 10, 0, 9},
                                {1, 0, 0xFFFFFFFFu, 2}};
    for (int i = 0; i < 3000; ++i) refs.push_back({i % 4, uint32_t(i % 7), 60, 1 + i % 5});
    std::vector<uint32_t> indices = Walk(rng, 400, 60);
    indices[5] = 0xFFFFFFFFu;
    indices[77] = 1000;
    indices[78] = 0xFFFFFFF5u;
    GeneratedRig rig(60, 4, refs, {100, 250, 10, 40, 50}, indices, 4);
    ExpectSameAsReference(rig);
    GeneratedRig strips(60, 4, refs, {0, 3, 17, 1, 2, 90}, {}, 2, 5);
    ExpectSameAsReference(strips);
}

// A large skinned character's layout: two references per vertex pair, each
// over three vertices, to neighbouring bones that change every `span`
// vertices, and strips of 1000 vertices (bench/bench_skin.cpp times the
// 100,000-vertex size against the reference).
namespace {
std::vector<GenRef> CharacterRefs(unsigned int vertices, unsigned int bones, unsigned int span) {
    std::vector<GenRef> refs;
    for (uint32_t r = 0; r < 2 * vertices; ++r) {
        uint32_t first = r / 2;
        refs.push_back({int((first / span + r % 2) % bones), first, 3, int(1 + r % 7)});
    }
    return refs;
}
}  // namespace

// The same layout at a size the reference checks in a moment: bones change
// every 60 vertices, so each strip is cut into sub-batches when a ninth bone
// comes, the 40 bones come round again, and the last references run past
// the mesh.
TEST(SkinBatching, LargeCharacterLayoutAsTheReference) {
    const unsigned int kVertices = 6000, kBones = 40;
    GeneratedRig rig(kVertices, kBones, CharacterRefs(kVertices, kBones, 60),
                     std::vector<uint32_t>(kVertices / 1000, 1000));
    ExpectSameAsReference(rig);
    EXPECT_GT(rig.mesh.batches.Size(), 2 * (kVertices / 1000));
}

// What a large skinned character needs: 100,000 vertices, 200,000 references
// over 40 bones, each vertex under a few of them.
TEST(SkinBatching, HundredThousandVerticesInWellUnderASecond) {
    const unsigned int kVertices = 100000, kBones = 40;
    GeneratedRig rig(kVertices, kBones, CharacterRefs(kVertices, kBones, 2500),
                     std::vector<uint32_t>(kVertices / 1000, 1000));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.Run(), "");
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
#if defined(__SANITIZE_ADDRESS__)
    const double kLimit = 5.0;  // the sanitizers slow every access
#else
    const double kLimit = 1.0;
#endif
    EXPECT_LT(seconds, kLimit);
    ASSERT_GE(rig.mesh.batches.Size(), kVertices / 1000);
    // Every vertex is covered: its weights add up to one.
    const float* w = reinterpret_cast<const float*>(rig.mesh.boneWeights.data);
    for (unsigned int v = 0; v < kVertices; v += 997)
        EXPECT_NEAR(w[v * 4] + w[v * 4 + 1] + w[v * 4 + 2] + w[v * 4 + 3], 1.0f, 1e-5f) << v;
}

// Strips drawn through shared indices: a strip that needs a ninth bone is cut
// at element offsets counted from its own first index, and a vertex drawn by
// both halves keeps the slots of the later one.
TEST(SkinnedMeshBatches, IndexedStripsAreCutFromTheirOwnFirstIndex) {
    std::vector<GenRef> refs = {{8, 10, 4, 1}};
    for (int b = 0; b < 8; ++b) refs.push_back({b, uint32_t(b), 1, 1});
    GeneratedRig rig(14, 9, refs, {3, 11}, {11, 12, 13, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    EXPECT_EQ(rig.Run(), "");
    std::vector<std::array<unsigned, 4>> batches;  // first index, count, bones, influences
    for (VertexBatch* b : rig.mesh.batches)
        batches.push_back({b->indexed ? b->firstIndex : ~0u, b->count, b->bones.Size(),
                           b->maxInfluences});
    EXPECT_EQ(batches, (std::vector<std::array<unsigned, 4>>{
                           {0, 3, 1, 1}, {3, 9, 8, 1}, {10, 4, 2, 1}}));
    ASSERT_EQ(rig.mesh.batches.Size(), 3u);
    EXPECT_EQ(rig.mesh.batches[2]->bones[0], rig.bones[7].get());
    const unsigned char* slots = rig.mesh.boneIndices.data;
    EXPECT_EQ(std::vector<int>({slots[4 * 6], slots[4 * 7], slots[4 * 10], slots[4 * 11]}),
              std::vector<int>({6, 0, 1, 0}));
}

// A mesh whose sub-batches would need more memory than allowed gets none.
TEST(SkinBatching, BatchMemoryLimit) {
    std::vector<GenRef> refs;
    for (int b = 0; b < 10; ++b) refs.push_back({b, uint32_t(b * 3), 3, 1});
    GeneratedRig rig(30, 10, refs, {30});
    rig.mesh.batchBytesLimit = 100;
    EXPECT_EQ(rig.Run(),
              "SkinnedMesh::UpdateBatches(): bone batches need more than 100 B, the mesh is not "
              "drawn\n");
    EXPECT_EQ(rig.mesh.batches.Size(), 0u);
    EXPECT_GT(rig.mesh.batchBytes, 100u);
    rig.mesh.batchBytesLimit = ~0ull;
    EXPECT_EQ(rig.Run(), "");
    EXPECT_EQ(rig.mesh.batches.Size(), 2u);
}
