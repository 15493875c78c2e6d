// Mesh drawing under a real context: attribute locations, indexed and
// non-indexed strips, bone uniforms per batch, dynamic updates, and batches
// that would read outside their buffers.
#include <GLES2/gl2.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/VertexBatch.h"
#include "support/GLTestContext.h"

using namespace testsupport;

namespace {

using A = AttributeArray;
const Rgba kWhite = {255, 255, 255, 255}, kBlack = {0, 0, 0, 255};
// Two quads side by side: vertices 0..3 cover the left half, 4..7 the right.
const std::vector<float> kTwoQuads = {-1, -1, 0, -1, -1, 1, 0, 1, 0, -1, 1, -1, 0, 1, 1, 1};

VertexBatch* NewBatch(bool indexed, unsigned int first, unsigned int count, unsigned int array = 0,
                      unsigned int primitive = 1) {
    VertexBatch* batch = new VertexBatch();
    batch->indexed = indexed;
    batch->firstVertex = batch->firstIndex = first;
    batch->count = count;
    batch->triangleArray = array;
    batch->primitive = primitive;
    return batch;
}

// One value for each of the four vertices of a quad.
template <class T>
ArrayData Same(A::Type type, T value) {
    return Arr<T>(type, 1, {value, value, value, value});
}

}  // namespace

class GLDrawing : public GLTest {
protected:
    // Clears to black and draws the mesh with the program, white by default.
    void DrawMesh(Mesh* mesh, Program* program = nullptr) {
        auto white = ColourProgram("", "vec4(1)");
        ProgramState useProgram(program ? program : white.get());
        Draw(Vec4(0, 0, 0, 1), {&useProgram}, mesh);
    }
    // Colours a quad with `expression` of the attributes declared.
    Rgba DrawAttributes(const char* declarations, const char* expression,
                        const std::vector<ArrayData>& arrays) {
        std::string vs = std::string("attribute vec4 Vomra_va_Location, ") + declarations +
                         ";\nvarying vec4 c;\nvoid main() {\n  c = " + expression +
                         ";\n  gl_Position = Vomra_va_Location;\n}\n";
        auto program = MakeProgram(vs.c_str(), "precision mediump float;\nvarying vec4 c;\n"
                                               "void main() { gl_FragColor = c; }\n");
        DrawMesh(Keep(MakeMesh(arrays, 4)), program.get());
        return Left();
    }
    Rgba Left() { return Read(4, 8); }
    Rgba Right() { return Read(12, 8); }
};

using AttributeLocations = GLDrawing;

TEST_F(AttributeLocations, FixedNamesThenGenericOnesAndColoursUnsignedUnnormalised) {
    // The tangent array has no location and must not shift the others.
    EXPECT_TRUE(PixelNear(
        DrawAttributes("Vomra_va_TexCoord, Vomra_va_Generic0, Vomra_va_Generic1, Vomra_va_Color",
                       "vec4(Vomra_va_TexCoord.x, Vomra_va_Generic0.x, Vomra_va_Generic1.x,\n"
                       "     Vomra_va_Color.x / 255.0)",
                       {FullQuad(), Same(A::at_Tangent, 0.9f), Same(A::at_TexCoord, 0.2f),
                        Same(A::at_TexCoord, 0.4f), Same(A::at_TexCoord, 0.6f),
                        Same<unsigned char>(A::at_Color, 200)}),
        {51, 102, 153, 200}));
    EXPECT_TRUE(PixelNear(
        DrawAttributes("Vomra_va_Normal, Vomra_va_BoneIndex, Vomra_va_BoneWeight",
                       "vec4(Vomra_va_Normal.x, Vomra_va_BoneIndex.x / 15.0,\n"
                       "     Vomra_va_BoneWeight.x, 1)",
                       {Same(A::at_BoneWeight, 0.6f), Same<unsigned char>(A::at_BoneIndex, 3),
                        Same(A::at_Normal, 0.2f), FullQuad()}),
        {51, 51, 153, 255}));
    for (GLuint l = 0; l < 8; ++l) {
        GLint enabled = -1;
        glGetVertexAttribiv(l, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
        EXPECT_EQ(enabled, 0) << "location " << l << " left enabled";
    }
}

namespace {
struct StripCase {
    const char* name;
    unsigned int vertexCount, firstVertex;
    std::vector<ArrayData> triangles;
    std::vector<unsigned short> lengths;  // shared strip lengths
    bool left, right;
};
}  // namespace

using Strips = GLDrawing;

TEST_F(Strips, IndexedAndNonIndexedStripsDrawTheirVertices) {
    const std::vector<unsigned short> both = {0, 1, 2, 3, 4, 5, 6, 7};
    const StripCase cases[] = {
        {"vertex count", 4, 0, {}, {}, true, false},
        {"strip-length array from the first vertex", 0, 4,
         {Arr<unsigned int>(A::at_StripLengths, 1, {4})}, {}, false, true},
        {"one shared length", 0, 0, {Arr(A::at_TrianleStrip, 1, both)}, {4}, true, false},
        {"two shared lengths", 0, 0, {Arr(A::at_TrianleStrip, 1, both)}, {4, 4}, true, true},
        // Each array from its own buffer, with its own index type.
        {"triangle lists", 0, 0,
         {Arr<unsigned char>(A::at_Triangle, 1, {0, 1, 2, 2, 1, 3}),
          Arr<unsigned short>(A::at_Triangle, 1, {4, 5, 6, 6, 5, 7})}, {6}, true, true},
    };
    for (const StripCase& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh* mesh = Keep(MakeMesh({Arr(A::at_Location, 2, kTwoQuads)}, c.vertexCount));
        mesh->firstVertex = c.firstVertex;
        if (!c.triangles.empty())
            mesh->SetTriangleArrays(MakeArrays(c.triangles), unsigned(c.triangles.size()));
        if (!c.lengths.empty())
            mesh->stripLengths = Fill(new AttributeArray(), Arr(A::at_Custom0, 1, c.lengths));
        mesh->UpdateBatches();
        DrawMesh(mesh);
        EXPECT_TRUE(PixelNear(Left(), c.left ? kWhite : kBlack, 0));
        EXPECT_TRUE(PixelNear(Right(), c.right ? kWhite : kBlack, 0));
    }
}

using Bones = GLDrawing;

TEST_F(Bones, EachBatchGetsItsBoneMatricesAndInfluenceCount) {
    auto program = ColourProgram(
        "uniform mat4 Vomra_un_BoneModel[2];\nuniform mat3 Vomra_un_BoneModelIT[2];\n"
        "uniform int Vomra_un_BoneCount;\n",
        "vec4(Vomra_un_BoneModel[0][3].x, Vomra_un_BoneModelIT[1][0][0],\n"
        "     Vomra_un_BoneModelIT[1][1][1], float(Vomra_un_BoneCount) / 4.0)");
    Mesh* mesh = Keep(MakeMesh({Arr(A::at_Location, 2, kTwoQuads)}, 8));
    Mesh::ClearBatches(&mesh->batches);
    SceneNode first, second;
    first.world.LoadScale(0.5f, 1, 1);
    second.normalMatrix.LoadScale(0.5f, 0.5f, 1);
    // Left two bones; right nine, of which only eight have uniform names, then none.
    const std::vector<SceneNode*> bones[] = {
        {&first, &second}, std::vector<SceneNode*>(9, &second), {}};
    for (unsigned int b = 0; b < 3; ++b) {
        VertexBatch* batch = NewBatch(false, b ? 4 : 0, 4);
        for (SceneNode* bone : bones[b]) batch->bones.Add(bone);
        batch->boneMatrices = new Mat4[bones[b].size()];
        batch->boneNormalMatrices = new Mat3[bones[b].size()];
        for (size_t i = 0; i < bones[b].size(); ++i)
            batch->boneNormalMatrices[i].LoadScale(b ? 0.4f : 0.8f, b ? 0.8f : 0.4f, 1);
        batch->maxInfluences = 2 + b;
        mesh->batches.Add(batch);
    }
    mesh->batches[0]->boneMatrices[0].LoadTranslate(0.8f, 0, 0);
    DrawMesh(mesh, program.get());
    // Bone world times bind matrix (the other order would move by 0.8), for
    // positions and normals alike.
    EXPECT_TRUE(PixelNear(Left(), {102, 102, 51, 128}));
    // Without bones the count is 0; the matrices stay as the batch before left them.
    EXPECT_TRUE(PixelNear(Right(), {0, 51, 102, 0}));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

using DynamicMesh = GLDrawing;

TEST_F(DynamicMesh, ChangedVerticesAreDrawnAfterUpdateDynamic) {
    Mesh* mesh = Keep(MakeMesh({Arr(A::at_Location, 2, kTwoQuads)}, 4));
    AttributeArray* positions = mesh->GetVertexArray(0);
    positions->dynamic = true;
    DrawMesh(mesh);
    // The right quad into the four vertices drawn.
    memcpy(positions->data, kTwoQuads.data() + 8, 8 * sizeof(float));
    mesh->initializer->UpdateDynamic();
    DrawMesh(mesh);
    EXPECT_TRUE(PixelNear(Left(), kBlack, 0));
    EXPECT_TRUE(PixelNear(Right(), kWhite, 0));
}

using BadBatches = GLDrawing;

TEST_F(BadBatches, EachFaultyBatchIsSkippedAndReportedOnceAndTheRestDrawn) {
    // Seven colours for eight positions: only seven vertices can be drawn.
    Mesh* mesh = Keep(MakeMesh({Arr(A::at_Location, 2, kTwoQuads),
                                Arr(A::at_Color, 4, std::vector<unsigned char>(28))}, 0));
    mesh->SetTriangleArrays(
        MakeArrays({Arr<unsigned short>(A::at_TrianleStrip, 1, {0, 1, 2, 3, 4, 5, 6, 99}),
                    Arr<float>(A::at_Triangle, 1, {0, 1, 2})}), 2);
    Mesh::ClearBatches(&mesh->batches);
    for (VertexBatch* batch : {NewBatch(true, 4, 4), NewBatch(true, 6, 4), NewBatch(true, 0, 3, 5),
                               NewBatch(true, 0, 3, 1), NewBatch(false, 0, 4, 0, 7),
                               NewBatch(false, 4, 4), NewBatch(true, 0, 4)})
        mesh->batches.Add(batch);
    const char* const problems[] = {"uses vertex 99 of 7", "reads 4 indices from 6 of 8",
                                    "has no usable index array 5", "has no usable index array 1",
                                    "has unknown primitive 7", "draws 4 vertices from 4 of 7"};
    char prefix[48];
    snprintf(prefix, sizeof prefix, " of mesh %p ", static_cast<void*>(mesh));
    std::string expected;
    for (int b = 0; b < 6; ++b)
        expected += "GLES2Renderer::DrawMesh(): batch " + std::to_string(b) + prefix + problems[b] +
                    ", skipped\n";
    CaptureFd out(1);
    DrawMesh(mesh);
    EXPECT_EQ(out.Stop(), expected);
    EXPECT_TRUE(PixelNear(Left(), kWhite, 0));
    EXPECT_TRUE(PixelNear(Right(), kBlack, 0));
    // Nothing the second time, nor for a mesh without vertex arrays.
    Mesh* empty = Keep(std::unique_ptr<Mesh>(new Mesh()));
    CaptureFd again(1);
    DrawMesh(mesh);
    EXPECT_TRUE(PixelNear(Left(), kWhite, 0));
    DrawMesh(empty);
    EXPECT_EQ(again.Stop(), "");
}
