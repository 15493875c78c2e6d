// Meshes: draw batches cut from strip lengths, indexed and not, and clamped
// to the index arrays they draw from; arrays sharing their data.
#include "engine/AttributeArray.h"
#include "engine/Mesh.h"
#include "engine/SharedBytes.h"
#include "engine/VertexBatch.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using AA = AttributeArray;

struct Spec {
    AA::Type type;
    NumericType numericType;
    std::vector<uint32_t> values;
    bool noData = false;  // the count of the values, but no data behind it
};

Spec Indices(AA::Type type, unsigned int n) { return {type, NT_Short, std::vector<uint32_t>(n)}; }

// The values stored at the width of the numeric type (the host is little-endian).
AA Build(const Spec& s) {
    AA a(s.type, s.numericType, 1, false);
    a.count = unsigned(s.values.size());
    if (s.noData) return a;
    a.data = new unsigned char[a.SizeBytes()];
    for (size_t i = 0; i < s.values.size(); ++i)
        memcpy(a.data + i * a.stride, &s.values[i], a.stride);
    return a;
}

using Batch = std::array<unsigned int, 5>;  // primitive, indexed, array, first, count

std::vector<Batch> Batches(Mesh& mesh) {
    std::vector<Batch> out;
    for (VertexBatch* v : *mesh.GetBatches())
        out.push_back({v->primitive, v->indexed, v->indexed ? v->triangleArray : 0,
                       v->indexed ? v->firstIndex : v->firstVertex, v->count});
    return out;
}

std::string Clamped(unsigned int indices, unsigned int array) {
    return "Mesh::CreateTriangleArrayBatches(): strip lengths run past the " +
           std::to_string(indices) + " indices of triangle array " + std::to_string(array) +
           ", clamped\n";
}

}  // namespace

TEST(MeshBatches, CutFromStripLengthsAndClampedToTheirArrays) {
    const AA::Type kTri = AA::at_Triangle, kStrip = AA::at_TrianleStrip;
    const AA::Type kLengths = AA::at_StripLengths;
    const Spec kNoLengths = {kLengths, NT_Int, {4}, true};
    struct {
        const char* what;
        std::vector<Spec> arrays;
        Spec lengths;
        std::vector<Batch> batches;
        std::string message;
    } rows[] = {
        {"no triangle arrays: the vertex count", {}, kNoLengths, {{1, 0, 0, 0, 4}}, ""},
        {"16-bit lengths {4, 3}", {Indices(kStrip, 7)}, {kLengths, NT_Short, {4, 3}},
         {{1, 1, 0, 0, 4}, {1, 1, 0, 4, 3}}, ""},
        {"two arrays cut by {6}", {Indices(kTri, 6), Indices(kStrip, 6)}, {kLengths, NT_Int, {6}},
         {{0, 1, 0, 0, 6}, {1, 1, 1, 0, 6}}, ""},
        {"at_StripLengths {4, 4} from vertex 8", {{kLengths, NT_Int, {4, 4}}}, kNoLengths,
         {{1, 0, 0, 8, 4}, {1, 0, 0, 12, 4}}, ""},
        {"8-bit at_StripLengths read at their width", {{kLengths, NT_Byte, {3, 5}}}, kNoLengths,
         {{1, 0, 0, 8, 3}, {1, 0, 0, 11, 5}}, ""},
        {"array order, then length order",
         {{kLengths, NT_Int, {3}}, Indices(kTri, 6), {AA::at_Location, NT_Float, {}},
          Indices(kStrip, 6)},
         {kLengths, NT_Byte, {3, 3}},
         {{1, 0, 0, 8, 3}, {0, 1, 1, 0, 3}, {0, 1, 1, 3, 3}, {1, 1, 3, 0, 3}, {1, 1, 3, 3, 3}}, ""},
        {"lengths without data", {Indices(kTri, 6)}, kNoLengths, {}, ""},
        {"empty lengths", {Indices(kTri, 6)}, {kLengths, NT_Short, {}}, {}, ""},
        {"float lengths", {Indices(kTri, 6)}, {kLengths, NT_Float, {3}}, {}, ""},
        {"lengths past the indices", {Indices(kStrip, 10)}, {kLengths, NT_Short, {4, 4, 4, 4}},
         {{1, 1, 0, 0, 4}, {1, 1, 0, 4, 4}, {1, 1, 0, 8, 2}}, Clamped(10, 0)},
        {"huge lengths do not wrap around", {Indices(kTri, 10)},
         {kLengths, NT_Int, {0xFFFFFFFFu, 0xFFFFFFFFu, 2}}, {{0, 1, 0, 0, 10}}, Clamped(10, 0)},
        {"each array clamped to its own size",
         {Indices(kTri, 9), {kStrip, NT_Short, std::vector<uint32_t>(50), true},
          Indices(kStrip, 4)},
         {kLengths, NT_Byte, {3, 3, 3}},
         {{0, 1, 0, 0, 3}, {0, 1, 0, 3, 3}, {0, 1, 0, 6, 3}, {1, 1, 2, 0, 3}, {1, 1, 2, 3, 1}},
         Clamped(0, 1) + Clamped(4, 2)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Mesh mesh;
        AA* arrays = r.arrays.empty() ? nullptr : new AA[r.arrays.size()];
        for (size_t i = 0; i < r.arrays.size(); ++i) arrays[i] = Build(r.arrays[i]);
        mesh.SetTriangleArrays(arrays, unsigned(r.arrays.size()));
        mesh.stripLengths = new AA(Build(r.lengths));
        mesh.vertexCount = 4;
        mesh.primitive = 1;
        mesh.firstVertex = 8;  // only at_StripLengths arrays start there
        testsupport::CaptureFd out(1);
        mesh.UpdateBatches();
        mesh.UpdateBatches();  // a rebuild replaces the batches
        EXPECT_EQ(out.Stop(), r.message + r.message);
        EXPECT_EQ(Batches(mesh), r.batches);
    }
}

// Arrays converted from one scene-file array read one block; a writer gets a
// copy of its own first, and the block goes with its last reader.
TEST(MeshArrays, SharedDataCopiedBeforeAWrite) {
    unsigned char* block = SharedBytes::New(8);
    memcpy(block, "abcdefgh", 8);
    {
        AA a(AA::at_Color, NT_Byte, 4, false), b(AA::at_Color, NT_Byte, 4, false);
        a.count = b.count = 2;
        a.ShareData(block);
        b.ShareData(block);
        EXPECT_EQ(SharedBytes::References(block), 3u);
        unsigned char* own = b.Writable();
        EXPECT_NE(own, block);
        EXPECT_FALSE(b.sharedData);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(own), 8), "abcdefgh");
        own[0] = 'z';
        EXPECT_EQ(a.data[0], 'a');
        EXPECT_EQ(SharedBytes::References(block), 2u);
        AA moved(std::move(a));
        EXPECT_TRUE(moved.sharedData);
        EXPECT_EQ(moved.data, block);
        EXPECT_EQ(SharedBytes::References(block), 2u);
    }
    // The sole reader writes in place.
    AA last(AA::at_Color, NT_Byte, 4, false);
    last.count = 2;
    last.ShareData(block);
    SharedBytes::Release(block);
    EXPECT_EQ(last.Writable(), block);
}
