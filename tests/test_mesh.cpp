// Meshes: batches cut from strip lengths (indexed and not), bounds against the
// index arrays, array ownership and attribute array layout.
#include "engine/AttributeArray.h"
#include "engine/Mesh.h"
#include "engine/VertexBatch.h"
#include "math/Mat3.h"
#include "math/Mat4.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// An array of unsigned values stored at the width of numericType.
void Fill(AttributeArray* a, const std::vector<uint32_t>& values) {
    a->count = unsigned(values.size()) / a->components;
    a->data = new unsigned char[a->SizeBytes()];
    unsigned int size = numericTypeSizeBytes[a->numericType];
    for (size_t i = 0; i < values.size(); ++i) {
        if (size == 1) a->data[i] = uint8_t(values[i]);
        if (size == 2) {
            uint16_t v = uint16_t(values[i]);
            memcpy(a->data + 2 * i, &v, 2);
        }
        if (size == 4) memcpy(a->data + 4 * i, &values[i], 4);
    }
}

AttributeArray* Lengths(NumericType type, const std::vector<uint32_t>& lengths) {
    AttributeArray* a = new AttributeArray(AttributeArray::at_StripLengths, type, 1, false);
    Fill(a, lengths);
    return a;
}

// An index array of n 16-bit indices 0..n-1.
void Indices(AttributeArray* a, AttributeArray::Type type, unsigned int n) {
    *a = AttributeArray(type, NT_Short, 1, false);
    std::vector<uint32_t> v(n);
    for (unsigned int i = 0; i < n; ++i) v[i] = i;
    Fill(a, v);
}

struct B {
    unsigned int primitive;
    bool indexed;
    unsigned int array;  // triangle array, or first vertex when not indexed
    unsigned int first;
    unsigned int count;
    bool operator==(const B& o) const {
        return primitive == o.primitive && indexed == o.indexed && array == o.array &&
               first == o.first && count == o.count;
    }
};

std::ostream& operator<<(std::ostream& os, const B& b) {
    return os << "{prim " << b.primitive << (b.indexed ? " indexed array " : " vertices ")
              << b.array << " first " << b.first << " count " << b.count << "}";
}

std::vector<B> Batches(Mesh* mesh) {
    std::vector<B> out;
    for (VertexBatch* v : *mesh->GetBatches()) {
        if (v->indexed)
            out.push_back({v->primitive, true, v->triangleArray, v->firstIndex, v->count});
        else
            out.push_back({v->primitive, false, 0, v->firstVertex, v->count});
    }
    return out;
}

std::string Clamped(unsigned int indices, unsigned int array) {
    return "Mesh::CreateTriangleArrayBatches(): strip lengths run past the " +
           std::to_string(indices) + " indices of triangle array " + std::to_string(array) +
           ", clamped\n";
}

}  // namespace

TEST(MeshBatches, WithoutTriangleArraysOneBatchDrawsTheVertexCount) {
    Mesh mesh;
    mesh.vertexCount = 4;
    mesh.primitive = 1;
    mesh.firstVertex = 8;  // only strip-length arrays start there
    mesh.UpdateBatches();
    EXPECT_EQ(Batches(&mesh), (std::vector<B>{{1, false, 0, 0, 4}}));
}

TEST(MeshBatches, SixteenBitLengthsCutAStripIndexArray) {
    Mesh mesh;
    AttributeArray* arrays = new AttributeArray[1];
    Indices(&arrays[0], AttributeArray::at_TrianleStrip, 7);
    mesh.SetTriangleArrays(arrays, 1);
    mesh.stripLengths = Lengths(NT_Short, {4, 3});
    mesh.UpdateBatches();
    EXPECT_EQ(Batches(&mesh), (std::vector<B>{{1, true, 0, 0, 4}, {1, true, 0, 4, 3}}));
}

TEST(MeshBatches, EveryIndexedArrayIsCutByTheSameLengths) {
    Mesh mesh;
    AttributeArray* arrays = new AttributeArray[2];
    Indices(&arrays[0], AttributeArray::at_Triangle, 6);
    Indices(&arrays[1], AttributeArray::at_TrianleStrip, 6);
    mesh.SetTriangleArrays(arrays, 2);
    mesh.stripLengths = Lengths(NT_Int, {6});
    mesh.UpdateBatches();
    EXPECT_EQ(Batches(&mesh), (std::vector<B>{{0, true, 0, 0, 6}, {1, true, 1, 0, 6}}));
}

TEST(MeshBatches, StripLengthArraysDrawFromTheMeshsFirstVertex) {
    Mesh mesh;
    AttributeArray* arrays = new AttributeArray[1];
    arrays[0] = AttributeArray(AttributeArray::at_StripLengths, NT_Int, 1, false);
    Fill(&arrays[0], {4, 4});
    mesh.SetTriangleArrays(arrays, 1);
    mesh.firstVertex = 8;
    mesh.UpdateBatches();
    EXPECT_EQ(Batches(&mesh), (std::vector<B>{{1, false, 0, 8, 4}, {1, false, 0, 12, 4}}));
}

TEST(MeshBatches, BatchesFollowArrayOrderThenLengthOrder) {
    Mesh mesh;
    AttributeArray* arrays = new AttributeArray[4];
    arrays[0] = AttributeArray(AttributeArray::at_StripLengths, NT_Int, 1, false);
    Fill(&arrays[0], {3});
    Indices(&arrays[1], AttributeArray::at_Triangle, 6);
    arrays[2] = AttributeArray(AttributeArray::at_Location, NT_Float, 3, false);  // no batches
    Indices(&arrays[3], AttributeArray::at_TrianleStrip, 6);
    mesh.SetTriangleArrays(arrays, 4);
    mesh.stripLengths = Lengths(NT_Byte, {3, 3});
    mesh.UpdateBatches();
    EXPECT_EQ(Batches(&mesh),
              (std::vector<B>{{1, false, 0, 0, 3},
                              {0, true, 1, 0, 3},
                              {0, true, 1, 3, 3},
                              {1, true, 3, 0, 3},
                              {1, true, 3, 3, 3}}));
}

TEST(MeshBatches, RebuildingLeavesExactlyOneSet) {
    Mesh mesh;
    AttributeArray* arrays = new AttributeArray[1];
    Indices(&arrays[0], AttributeArray::at_TrianleStrip, 7);
    mesh.SetTriangleArrays(arrays, 1);
    mesh.stripLengths = Lengths(NT_Short, {4, 3});
    mesh.UpdateBatches();
    mesh.UpdateBatches();
    EXPECT_EQ(mesh.GetBatches()->Size(), 2u);
}

TEST(MeshBatches, MissingEmptyOrUnreadableLengthsGiveNoIndexedBatches) {
    Mesh mesh;
    AttributeArray* arrays = new AttributeArray[1];
    Indices(&arrays[0], AttributeArray::at_Triangle, 6);
    mesh.SetTriangleArrays(arrays, 1);
    mesh.UpdateBatches();
    EXPECT_EQ(mesh.GetBatches()->Size(), 0u);
    mesh.stripLengths = Lengths(NT_Short, {});
    mesh.UpdateBatches();
    EXPECT_EQ(mesh.GetBatches()->Size(), 0u);
    delete mesh.stripLengths;
    mesh.stripLengths = Lengths(NT_Int, {3});
    mesh.stripLengths->numericType = NT_Float;  // not an integer width
    mesh.UpdateBatches();
    EXPECT_EQ(mesh.GetBatches()->Size(), 0u);
}

TEST(MeshBatchesBadInput, LengthsPastTheIndexArrayAreClampedThenDropped) {
    Mesh mesh;
    AttributeArray* arrays = new AttributeArray[1];
    Indices(&arrays[0], AttributeArray::at_TrianleStrip, 10);
    mesh.SetTriangleArrays(arrays, 1);
    mesh.stripLengths = Lengths(NT_Short, {4, 4, 4, 4});
    testsupport::CaptureFd out(1);
    mesh.UpdateBatches();
    EXPECT_EQ(out.Stop(), Clamped(10, 0));
    EXPECT_EQ(Batches(&mesh),
              (std::vector<B>{{1, true, 0, 0, 4}, {1, true, 0, 4, 4}, {1, true, 0, 8, 2}}));
}

TEST(MeshBatchesBadInput, HugeLengthsDoNotWrapAround) {
    Mesh mesh;
    AttributeArray* arrays = new AttributeArray[1];
    Indices(&arrays[0], AttributeArray::at_Triangle, 10);
    mesh.SetTriangleArrays(arrays, 1);
    mesh.stripLengths = Lengths(NT_Int, {0xFFFFFFFFu, 0xFFFFFFFFu, 2});
    testsupport::CaptureFd out(1);
    mesh.UpdateBatches();
    EXPECT_EQ(out.Stop(), Clamped(10, 0));
    EXPECT_EQ(Batches(&mesh), (std::vector<B>{{0, true, 0, 0, 10}}));
}

TEST(MeshBatchesBadInput, EachArrayIsClampedToItsOwnSize) {
    Mesh mesh;
    AttributeArray* arrays = new AttributeArray[3];
    Indices(&arrays[0], AttributeArray::at_Triangle, 9);
    arrays[1] = AttributeArray(AttributeArray::at_TrianleStrip, NT_Short, 1, false);
    arrays[1].count = 50;  // a count without data has nothing to draw from
    Indices(&arrays[2], AttributeArray::at_TrianleStrip, 4);
    mesh.SetTriangleArrays(arrays, 3);
    mesh.stripLengths = Lengths(NT_Byte, {3, 3, 3});
    testsupport::CaptureFd out(1);
    mesh.UpdateBatches();
    EXPECT_EQ(out.Stop(), Clamped(0, 1) + Clamped(4, 2));
    EXPECT_EQ(Batches(&mesh),
              (std::vector<B>{{0, true, 0, 0, 3},
                              {0, true, 0, 3, 3},
                              {0, true, 0, 6, 3},
                              {1, true, 2, 0, 3},
                              {1, true, 2, 3, 1}}));
}

TEST(MeshBatchesBadInput, NoBatchEverReachesPastItsIndexArray) {
    const std::vector<std::vector<uint32_t>> lists = {
        {0}, {1, 0, 1}, {5, 5, 5}, {11}, {3, 0xFFFF, 3}, {10, 0, 0}, {2, 2, 2, 2, 2, 2}};
    for (unsigned int indices : {0u, 1u, 7u, 10u}) {
        for (const auto& lengths : lists) {
            Mesh mesh;
            AttributeArray* arrays = new AttributeArray[1];
            Indices(&arrays[0], AttributeArray::at_TrianleStrip, indices);
            mesh.SetTriangleArrays(arrays, 1);
            mesh.stripLengths = Lengths(NT_Short, lengths);
            testsupport::CaptureFd out(1);
            mesh.UpdateBatches();
            out.Stop();
            uint64_t drawn = 0;
            for (VertexBatch* b : *mesh.GetBatches()) {
                EXPECT_LE(uint64_t(b->firstIndex) + b->count, indices);
                drawn += b->count;
            }
            uint64_t wanted = 0;
            for (uint32_t l : lengths) wanted += l;
            EXPECT_EQ(drawn, std::min<uint64_t>(wanted, indices));
        }
    }
}

TEST(MeshBatchesBadInput, NarrowStripLengthArraysAreReadAtTheirWidth) {
    // 8-bit elements: reading 32 bits each would run past the two bytes.
    Mesh mesh;
    AttributeArray* arrays = new AttributeArray[1];
    arrays[0] = AttributeArray(AttributeArray::at_StripLengths, NT_Byte, 1, false);
    Fill(&arrays[0], {3, 5});
    mesh.SetTriangleArrays(arrays, 1);
    mesh.UpdateBatches();
    EXPECT_EQ(Batches(&mesh), (std::vector<B>{{1, false, 0, 0, 3}, {1, false, 0, 3, 5}}));
}

TEST(MeshArrays, HandingBackTheSameBlockKeepsIt) {
    Mesh mesh;
    AttributeArray* arrays = new AttributeArray[2];
    arrays[1] = AttributeArray(AttributeArray::at_Normal, NT_Float, 3, false);
    Fill(&arrays[1], {1, 2, 3});
    mesh.SetVertexArrays(arrays, 2);
    mesh.SetVertexArrays(arrays, 2);
    ASSERT_EQ(mesh.GetNumVertexArrays(), 2u);
    EXPECT_EQ(mesh.GetVertexArray(1)->type, AttributeArray::at_Normal);
    EXPECT_EQ(mesh.GetVertexArray(1)->data[4], 2);
    // A replacement takes over; the earlier block is released by the mesh.
    AttributeArray* other = new AttributeArray[1];
    mesh.SetVertexArrays(other, 1);
    EXPECT_EQ(mesh.GetNumVertexArrays(), 1u);
    EXPECT_EQ(mesh.GetVertexArray(0), &other[0]);
    mesh.SetTriangleArrays(nullptr, 3);
    EXPECT_EQ(mesh.GetNumTriangleArrays(), 0u);
}

TEST(MeshArrays, ClearBatchesDeletesSkinnedBatchesAndKeepsTheList) {
    Vector<VertexBatch*> list;
    for (int i = 0; i < 12; ++i) {
        VertexBatch* b = new VertexBatch;
        b->boneMatrices = new Mat4[2];
        b->boneNormalMatrices = new Mat3[2];
        b->bones.Add(nullptr);
        list.Add(b);
    }
    unsigned int capacity = list.Capacity();
    Mesh::ClearBatches(&list);
    EXPECT_EQ(list.Size(), 0u);
    EXPECT_EQ(list.Capacity(), capacity);
}

TEST(AttributeArrayLayout, StrideFollowsComponentsAndType) {
    EXPECT_EQ(AttributeArray(AttributeArray::at_Color, NT_Byte, 4, false).stride, 4u);
    EXPECT_EQ(AttributeArray().stride, 12u);
    EXPECT_EQ(AttributeArray(AttributeArray::at_TexCoord, NT_Double, 3, false).stride, 24u);
    EXPECT_EQ(AttributeArray(AttributeArray::at_TexCoord, NT_Half, 2, true).stride, 4u);
    EXPECT_EQ(AttributeArray(AttributeArray::at_TexCoord, NumericType(9), 2, true).stride, 0u);
    EXPECT_STREQ(AttributeArray::names[AttributeArray::at_TrianleStrip], "at_TrianleStrip");
    EXPECT_EQ(AttributeArray::names[AttributeArray::at_StripLengths], nullptr);
    EXPECT_EQ(AttributeArray::names[AttributeArray::at_BoneWeight], nullptr);
}

TEST(AttributeArrayLayout, MovingHandsOverTheData) {
    AttributeArray a(AttributeArray::at_Location, NT_Float, 3, true);
    Fill(&a, {1, 2, 3, 4, 5, 6});
    unsigned char* data = a.data;
    AttributeArray b(std::move(a));
    EXPECT_EQ(a.data, nullptr);
    EXPECT_EQ(a.count, 0u);
    EXPECT_EQ(b.data, data);
    EXPECT_EQ(b.count, 2u);
    EXPECT_TRUE(b.dynamic);
    AttributeArray c;
    c = std::move(b);
    EXPECT_EQ(c.data, data);
    EXPECT_EQ(b.data, nullptr);
}
