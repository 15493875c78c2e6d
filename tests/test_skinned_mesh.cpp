// Skinned meshes: per-vertex bone slots and weights, batches of at most eight
// bones, the restart rules when a batch overflows, and bind matrices.
#include "engine/AttributeArray.h"
#include "engine/SceneNode.h"
#include "engine/SkinnedMesh.h"
#include "engine/VertexBatch.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
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

TEST(SkinnedMeshWeights, FifthBoneDropsTheSmallest) {
    Rig rig(1, {{0, 0, 1, 5}, {1, 0, 1, 4}, {2, 0, 1, 3}, {3, 0, 1, 2}, {4, 0, 1, 1}});
    EXPECT_EQ(rig.Update(), "Warning: too many bones per vertex, dropping smallest weight\n");
    EXPECT_EQ(rig.Slots(0), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(rig.Weights(0), (std::vector<float>{5 / 14.0f, 4 / 14.0f, 3 / 14.0f, 2 / 14.0f}));
}

TEST(SkinnedMeshWeights, IndexedBatchesReadTheirIndices) {
    Rig rig(3, {{7, 2, 1, 1}}, {2, 0, 1});
    rig.Update();
    EXPECT_EQ(rig.Slots(2), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(rig.Weights(2)[0], 1.0f);
    EXPECT_EQ(rig.Weights(0)[0], 0.0f);
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

// Thousands of references sharing one bone: batching stays linear in the
// reference count per element (a damaged file must not stall the loader).
TEST(SkinnedMeshBatches, ManyReferencesToOneBone) {
    Rig rig(3000, std::vector<Ref>(3000, {6, 0, 3000, 1}));
    EXPECT_EQ(rig.Update(), "");
    EXPECT_EQ(rig.Batches(), (std::vector<std::array<unsigned, 3>>{{0, 3000, 1}}));
    EXPECT_EQ(rig.Weights(2999), (std::vector<float>{1.0f, 0.0f, 0.0f, 0.0f}));
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
