// Skinned meshes: per-vertex bone slots and weights, batches of at most eight
// bones, the restart rules when a batch overflows, bind matrices, and
// batching compared with the plain procedure on generated meshes.
#include "support/SkinReference.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <random>
#include <sstream>
#include <string>

using namespace testsupport;

namespace {

using Ref = SkinRig::Ref;

std::string Update(SkinRig& rig) {
    CaptureFd out(1);
    rig.mesh.UpdateBatches();
    return out.Stop();
}

// The mesh's batching and how often it warned.
SkinResult Indexed(SkinRig& rig) {
    std::istringstream lines(Update(rig));
    SkinResult r = SkinOf(rig.mesh);
    for (std::string line; std::getline(lines, line);) {
        r.tooShort += line == "Warning: too short batch";
        r.tooMany += line == "Warning: too many bones per vertex, dropping smallest weight";
    }
    return r;
}

std::vector<std::array<unsigned, 3>> Batches(const SkinRig& rig) {  // first, count, bones
    std::vector<std::array<unsigned, 3>> list;
    for (const BatchInfo& b : SkinOf(rig.mesh).batches)
        list.push_back({b.first, b.count, unsigned(b.bones.size())});
    return list;
}
std::vector<int> Slots(const SkinRig& rig, unsigned int v) {
    const unsigned char* p = rig.mesh.boneIndices.data + v * 4;
    return {p[0], p[1], p[2], p[3]};
}
std::vector<float> Weights(const SkinRig& rig, unsigned int v) {
    const float* p = reinterpret_cast<const float*>(rig.mesh.boneWeights.data) + v * 4;
    return {p[0], p[1], p[2], p[3]};
}

}  // namespace

TEST(SkinnedMeshWeights, NormalisedInReferenceOrder) {
    SkinRig rig(3, 10, {{4, 0, 3, 3}, {2, 1, 1, 1}}, {3});
    EXPECT_EQ(Update(rig), "");
    EXPECT_EQ(Slots(rig, 1), (std::vector<int>{0, 1, 0, 0}));
    EXPECT_EQ(Weights(rig, 1), (std::vector<float>{0.75f, 0.25f, 0.0f, 0.0f}));
    EXPECT_EQ(Weights(rig, 0), (std::vector<float>{1.0f, 0.0f, 0.0f, 0.0f}));
    ASSERT_EQ(rig.mesh.batches.Size(), 1u);
    VertexBatch* b = rig.mesh.batches[0];
    EXPECT_EQ(b->bones[0], rig.bones[4].get());
    EXPECT_EQ(b->bones[1], rig.bones[2].get());
    EXPECT_EQ(b->maxInfluences, 2u);
    EXPECT_EQ(rig.mesh.GetNumVertexArrays(), 3u);
    EXPECT_EQ(rig.mesh.GetVertexArray(1), &rig.mesh.boneIndices);
    EXPECT_EQ(rig.mesh.GetVertexArray(2), &rig.mesh.boneWeights);
}

TEST(SkinnedMeshWeights, TwoReferencesToOneNodeShareASlot) {
    SkinRig rig(1, 10, {{3, 0, 1, 2}, {5, 0, 1, 4}, {3, 0, 1, 2}}, {1});
    Update(rig);
    EXPECT_EQ(Slots(rig, 0), (std::vector<int>{0, 1, 0, 0}));
    EXPECT_EQ(Weights(rig, 0), (std::vector<float>{0.5f, 0.5f, 0.0f, 0.0f}));
    EXPECT_EQ(Batches(rig), (std::vector<std::array<unsigned, 3>>{{0, 1, 2}}));
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
        SkinRig rig(1, 10, refs, {1});
        EXPECT_EQ(Update(rig), "Warning: too many bones per vertex, dropping smallest weight\n");
        EXPECT_EQ(Slots(rig, 0), c.slots) << c.weights[0];
        int total = c.kept[0] + c.kept[1] + c.kept[2] + c.kept[3];
        std::vector<float> shares;
        for (int w : c.kept) shares.push_back(float(w) / float(total));
        EXPECT_EQ(Weights(rig, 0), shares) << c.weights[0];
        EXPECT_EQ(rig.mesh.batches[0]->maxInfluences, 4u);
    }
}

TEST(SkinnedMeshBatches, NinthBoneSplitsAndTheNextStartsThreeBack) {
    // Bone b moves vertex b (b < 8) and bone 8 vertices 10..13: elements 0..9
    // need eight bones, element 10 a ninth.
    std::vector<Ref> refs = {{8, 10, 4, 1}};
    for (int b = 0; b < 8; ++b) refs.push_back({b, unsigned(b), 1, 1});
    SkinRig rig(14, 10, refs, {14});
    EXPECT_EQ(Update(rig), "");
    EXPECT_EQ(Batches(rig), (std::vector<std::array<unsigned, 3>>{{0, 9, 8}, {7, 7, 2}}));
}

TEST(SkinnedMeshBatches, TooShortBatchAlwaysMovesOn) {
    // Vertex 1 alone needs nine bones: the loop must still end, dropping it.
    std::vector<Ref> refs;
    for (int b = 0; b < 9; ++b) refs.push_back({b, 1, 1, 1});
    SkinRig rig(3, 10, refs, {3});
    EXPECT_EQ(Update(rig), "Warning: too short batch\nWarning: too short batch\n");
    EXPECT_EQ(Batches(rig), (std::vector<std::array<unsigned, 3>>{{2, 1, 0}}));
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
    SkinRig rig(1, 10, {{0, 0, 1, 1}}, {1});
    rig.root.transform.translation = Vec3(1, 0, 0);
    rig.bones[0]->transform.translation = Vec3(0, 2, 0);
    Update(rig);
    const Mat4& bind = rig.mesh.batches[0]->boneMatrices[0];
    // Root at x = 1, bone world at (1, 2): the bind matrix moves by (0, -2).
    EXPECT_FLOAT_EQ(bind.m[12], 0.0f);
    EXPECT_FLOAT_EQ(bind.m[13], -2.0f);
    EXPECT_FLOAT_EQ(bind.m[0], 1.0f);
}

// Batching from an index of the references by vertex must give exactly what
// the plain procedure (support/SkinReference.h) gives.
namespace {

void ExpectSameAsReference(SkinRig& rig) {
    SkinResult mine = Indexed(rig);
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

// Nine and more bones per vertex and per strip: sub-batches end, restart
// three back, or are too short and skip ahead; vertices under five and more
// bones replace or drop weights.
TEST(SkinBatching, MoreThanEightBones) {
    for (unsigned int seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        const unsigned int kVertices = 250;
        std::vector<Ref> refs;
        for (int i = 0; i < 500; ++i) {
            int bone = int(rng() % 14);
            uint32_t first = uint32_t(rng() % kVertices);
            uint32_t count = uint32_t(1 + rng() % 4);
            refs.push_back({bone, first, count, int(1 + rng() % 9)});
        }
        // A few vertices under twelve bones at once.
        for (int b = 0; b < 12; ++b) refs.push_back({b, 17, 2, 1});
        std::vector<uint32_t> indices = Walk(rng, 700, kVertices);
        SkinRig rig(kVertices, 14, refs, Cut(rng, 700), indices, 1);
        SkinResult mine = Indexed(rig);
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
    std::vector<Ref> refs = {{-1, 3, 5, 4}, {2, 0xFFFFFFF0u, 0x40, 3}, {3, 10, 0, 9},
                                {1, 0, 0xFFFFFFFFu, 2}};
    for (int i = 0; i < 3000; ++i) refs.push_back({i % 4, uint32_t(i % 7), 60, 1 + i % 5});
    std::vector<uint32_t> indices = Walk(rng, 400, 60);
    indices[5] = 0xFFFFFFFFu;
    indices[77] = 1000;
    indices[78] = 0xFFFFFFF5u;
    SkinRig rig(60, 4, refs, {100, 250, 10, 40, 50}, indices, 4);
    ExpectSameAsReference(rig);
    SkinRig strips(60, 4, refs, {0, 3, 17, 1, 2, 90}, {}, 2, 5);
    ExpectSameAsReference(strips);
}

// The same layout at a size the reference checks in a moment: bones change
// every 60 vertices, so each strip is cut into sub-batches when a ninth bone
// comes, the 40 bones come round again, and the last references run past
// the mesh.
TEST(SkinBatching, LargeCharacterLayoutAsTheReference) {
    const unsigned int kVertices = 6000, kBones = 40;
    SkinRig rig(kVertices, kBones, CharacterRefs(kVertices, kBones, 60),
                     std::vector<uint32_t>(kVertices / 1000, 1000));
    ExpectSameAsReference(rig);
    EXPECT_GT(rig.mesh.batches.Size(), 2 * (kVertices / 1000));
}

// What a large skinned character needs: 100,000 vertices, 200,000 references
// over 40 bones, each vertex under a few of them.
TEST(SkinBatching, HundredThousandVerticesInWellUnderASecond) {
    const unsigned int kVertices = 100000, kBones = 40;
    SkinRig rig(kVertices, kBones, CharacterRefs(kVertices, kBones, 2500),
                     std::vector<uint32_t>(kVertices / 1000, 1000));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Update(rig), "");
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
    std::vector<Ref> refs = {{8, 10, 4, 1}};
    for (int b = 0; b < 8; ++b) refs.push_back({b, uint32_t(b), 1, 1});
    SkinRig rig(14, 9, refs, {3, 11}, {11, 12, 13, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    EXPECT_EQ(Update(rig), "");
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
    std::vector<Ref> refs;
    for (int b = 0; b < 10; ++b) refs.push_back({b, uint32_t(b * 3), 3, 1});
    SkinRig rig(30, 10, refs, {30});
    rig.mesh.batchBytesLimit = 100;
    EXPECT_EQ(Update(rig),
              "SkinnedMesh::UpdateBatches(): bone batches need more than 100 B, the mesh is not "
              "drawn\n");
    EXPECT_EQ(rig.mesh.batches.Size(), 0u);
    EXPECT_GT(rig.mesh.batchBytes, 100u);
    rig.mesh.batchBytesLimit = ~0ull;
    EXPECT_EQ(Update(rig), "");
    EXPECT_EQ(rig.mesh.batches.Size(), 2u);
}
