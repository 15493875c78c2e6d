// Mesh drawing under a real context: attribute locations, indexed and
// non-indexed strips, bone uniforms per batch, dynamic updates, and batches
// that would read outside their buffers.
#include <GLES2/gl2.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/Program.h"
#include "engine/SceneNode.h"
#include "engine/VertexBatch.h"
#include "render/ProgramState.h"
#include "render/gles2/GLES2Engine.h"
#include "render/gles2/GLES2MeshInitializer.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

const unsigned int kSize = 16;
const Rgba kWhite = {255, 255, 255, 255};
const Rgba kBlack = {0, 0, 0, 255};

const char* const kWhiteFragmentShader =
    "precision mediump float;\n"
    "void main() { gl_FragColor = vec4(1.0); }\n";

// Two quads side by side: vertices 0..3 cover the left half, 4..7 the right.
ArrayData TwoQuads() {
    return Floats(AttributeArray::at_Location, 2,
                  {-1, -1, 0, -1, -1, 1, 0, 1, 0, -1, 1, -1, 0, 1, 1, 1});
}

// A 16x16 target, a fresh renderer and a node for the mesh under test.
class GLDrawing : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        if (HasFatalFailure()) return;
        target.reset(new GLTarget(kSize, kSize));
        renderer.SetViewport(0, 0, kSize, kSize);
        white = MakeProgram(kPassThroughVertexShader, kWhiteFragmentShader);
    }
    void TearDown() override {
        for (Mesh* mesh : meshes)
            if (mesh->initializer) mesh->initializer->Deinit();
    }

    Mesh* Keep(std::unique_ptr<Mesh> mesh) {
        owned.push_back(std::move(mesh));
        meshes.push_back(owned.back().get());
        return meshes.back();
    }

    // Clears to black and draws the mesh with the program.
    void Draw(Mesh* mesh, Program* program = nullptr) {
        node.meshes.Clear();
        node.Attach(mesh);
        ProgramState useProgram(program ? program : white.get());
        Pass pass(nullptr, nullptr, &target->frameBuffer, true, Vec4(0, 0, 0, 1));
        RunPass(&renderer, &pass, {&useProgram, &node.geometryState});
    }
    Rgba Left() { return target->Read(4, 8); }
    Rgba Right() { return target->Read(12, 8); }

    GLES2Renderer renderer;
    std::unique_ptr<GLTarget> target;
    std::unique_ptr<Program> white;
    SceneNode node;
    std::vector<std::unique_ptr<Mesh>> owned;
    std::vector<Mesh*> meshes;
};

// Passes a colour made by `expression` from the attributes to the fragment.
std::string ColourVertexShader(const char* declarations, const char* expression) {
    return std::string("attribute vec4 Vomra_va_Location;\n") + declarations +
           "varying vec4 colour;\n"
           "void main() {\n"
           "  colour = " + expression + ";\n"
           "  gl_Position = Vomra_va_Location;\n"
           "}\n";
}

const char* const kVaryingFragmentShader =
    "precision mediump float;\n"
    "varying vec4 colour;\n"
    "void main() { gl_FragColor = colour; }\n";

std::vector<float> Repeat(std::vector<float> one, unsigned int times) {
    std::vector<float> out;
    for (unsigned int i = 0; i < times; ++i) out.insert(out.end(), one.begin(), one.end());
    return out;
}

std::string MeshPointer(const Mesh* mesh) {
    char buffer[32];
    snprintf(buffer, sizeof buffer, "%p", static_cast<const void*>(mesh));
    return buffer;
}

}  // namespace

using AttributeLocations = GLDrawing;

TEST_F(AttributeLocations, RepeatedArraysTakeTheGenericLocationsInOrder) {
    std::string vs = ColourVertexShader(
        "attribute vec4 Vomra_va_TexCoord;\n"
        "attribute vec4 Vomra_va_Generic0;\n"
        "attribute vec4 Vomra_va_Generic1;\n",
        "vec4(Vomra_va_TexCoord.x, Vomra_va_Generic0.x, Vomra_va_Generic1.x, 1.0)");
    auto program = MakeProgram(vs.c_str(), kVaryingFragmentShader);
    ASSERT_TRUE(program->initializer->initialized);
    // The tangent array has no location and must not shift the others.
    Mesh* mesh = Keep(MakeMesh({FullQuad(),
                                Floats(AttributeArray::at_Tangent, 3, Repeat({0.9f, 0, 0}, 4)),
                                Floats(AttributeArray::at_TexCoord, 2, Repeat({0.2f, 0}, 4)),
                                Floats(AttributeArray::at_TexCoord, 2, Repeat({0.4f, 0}, 4)),
                                Floats(AttributeArray::at_TexCoord, 2, Repeat({0.6f, 0}, 4))},
                               4));
    Draw(mesh, program.get());
    EXPECT_TRUE(PixelNear(Left(), {51, 102, 153, 255}));
}

TEST_F(AttributeLocations, SignedByteColourArrivesUnsignedAndUnnormalised) {
    std::string vs = ColourVertexShader("attribute vec4 Vomra_va_Color;\n",
                                        "Vomra_va_Color / 255.0");
    auto program = MakeProgram(vs.c_str(), kVaryingFragmentShader);
    std::vector<unsigned char> colours;
    for (int i = 0; i < 4; ++i) colours.insert(colours.end(), {200, 100, 50, 255});
    Mesh* mesh = Keep(MakeMesh({FullQuad(), Bytes(AttributeArray::at_Color, 4, colours)}, 4));
    Draw(mesh, program.get());
    EXPECT_TRUE(PixelNear(Left(), {200, 100, 50, 255}));
}

TEST_F(AttributeLocations, NormalAndBoneArraysReachTheirNamesAndAreDisabledAfter) {
    std::string vs = ColourVertexShader(
        "attribute vec4 Vomra_va_Normal;\n"
        "attribute vec4 Vomra_va_BoneIndex;\n"
        "attribute vec4 Vomra_va_BoneWeight;\n",
        "vec4(Vomra_va_Normal.x, Vomra_va_BoneIndex.y / 15.0, Vomra_va_BoneWeight.z, 1.0)");
    auto program = MakeProgram(vs.c_str(), kVaryingFragmentShader);
    std::vector<unsigned char> indices;
    for (int i = 0; i < 4; ++i) indices.insert(indices.end(), {0, 3, 0, 0});
    Mesh* mesh =
        Keep(MakeMesh({Floats(AttributeArray::at_BoneWeight, 4, Repeat({0, 0, 0.6f, 0}, 4)),
                       Bytes(AttributeArray::at_BoneIndex, 4, indices),
                       Floats(AttributeArray::at_Normal, 3, Repeat({0.2f, 0, 0}, 4)), FullQuad()},
                      4));
    Draw(mesh, program.get());
    EXPECT_TRUE(PixelNear(Left(), {51, 51, 153, 255}));
    for (GLuint l = 0; l < 8; ++l) {
        GLint enabled = -1;
        glGetVertexAttribiv(l, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
        EXPECT_EQ(enabled, 0) << "location " << l;
    }
}

using Strips = GLDrawing;

TEST_F(Strips, NonIndexedStripIsInitialisedAtFirstDrawAndDrawsItsVertexCount) {
    Mesh* mesh = Keep(MakeMesh({FullQuad()}, 3));
    ASSERT_EQ(mesh->initializer, nullptr);
    Draw(mesh);
    ASSERT_NE(mesh->initializer, nullptr);
    EXPECT_TRUE(mesh->initializer->initialized);
    // Three vertices: the lower-left triangle only.
    EXPECT_TRUE(PixelNear(target->Read(2, 2), kWhite, 0));
    EXPECT_TRUE(PixelNear(target->Read(13, 13), kBlack, 0));
}

TEST_F(Strips, IndexedStripsAreCutBySharedLengths) {
    Mesh* mesh = Keep(MakeMesh({TwoQuads()}, 0));
    mesh->SetTriangleArrays(
        MakeArrays({Shorts(AttributeArray::at_TrianleStrip, 1, {0, 1, 2, 3, 4, 5, 6, 7})}), 1);
    mesh->stripLengths = MakeArray(Shorts(AttributeArray::at_Custom0, 1, {4}));
    mesh->UpdateBatches();
    Draw(mesh);
    EXPECT_TRUE(PixelNear(Left(), kWhite, 0));
    EXPECT_TRUE(PixelNear(Right(), kBlack, 0));

    delete mesh->stripLengths;
    mesh->stripLengths = MakeArray(Shorts(AttributeArray::at_Custom0, 1, {4, 4}));
    mesh->UpdateBatches();
    Draw(mesh);
    EXPECT_TRUE(PixelNear(Left(), kWhite, 0));
    EXPECT_TRUE(PixelNear(Right(), kWhite, 0));
}

TEST_F(Strips, StripLengthArrayDrawsFromTheMeshFirstVertex) {
    Mesh* mesh = Keep(MakeMesh({TwoQuads()}, 0));
    mesh->SetTriangleArrays(MakeArrays({Ints(AttributeArray::at_StripLengths, 1, {4})}), 1);
    mesh->firstVertex = 4;
    mesh->UpdateBatches();
    Draw(mesh);
    EXPECT_TRUE(PixelNear(Left(), kBlack, 0));
    EXPECT_TRUE(PixelNear(Right(), kWhite, 0));
}

TEST_F(Strips, EachIndexArrayDrawsFromItsOwnBuffer) {
    Mesh* mesh = Keep(MakeMesh({TwoQuads()}, 0));
    mesh->SetTriangleArrays(MakeArrays({Shorts(AttributeArray::at_TrianleStrip, 1, {4, 5, 6, 7}),
                                        Shorts(AttributeArray::at_TrianleStrip, 1, {0, 1, 2, 3})}),
                            2);
    mesh->stripLengths = MakeArray(Shorts(AttributeArray::at_Custom0, 1, {4}));
    mesh->UpdateBatches();
    ASSERT_EQ(mesh->batches.Size(), 2u);
    // Only the second array draws: the first buffer must not stay bound.
    mesh->batches[0]->count = 0;
    Draw(mesh);
    EXPECT_TRUE(PixelNear(Left(), kWhite, 0));
    EXPECT_TRUE(PixelNear(Right(), kBlack, 0));
}

TEST_F(Strips, TriangleListsWithByteAndShortIndices) {
    Mesh* mesh = Keep(MakeMesh({TwoQuads()}, 0));
    mesh->SetTriangleArrays(
        MakeArrays({Bytes(AttributeArray::at_Triangle, 1, {0, 1, 2, 2, 1, 3}),
                    Shorts(AttributeArray::at_Triangle, 1, {4, 5, 6, 6, 5, 7})}),
        2);
    mesh->stripLengths = MakeArray(Shorts(AttributeArray::at_Custom0, 1, {6}));
    mesh->UpdateBatches();
    Draw(mesh);
    EXPECT_TRUE(PixelNear(Left(), kWhite, 0));
    EXPECT_TRUE(PixelNear(Right(), kWhite, 0));
}

namespace {

VertexBatch* NewStrip(unsigned int firstVertex, unsigned int count) {
    VertexBatch* batch = new VertexBatch();
    batch->primitive = VertexBatch::PR_TriangleStrip;
    batch->firstVertex = firstVertex;
    batch->count = count;
    return batch;
}

void SetBones(VertexBatch* batch, std::vector<SceneNode*> bones, unsigned int maxInfluences) {
    for (SceneNode* bone : bones) batch->bones.Add(bone);
    batch->boneMatrices = new Mat4[bones.size()];
    batch->boneNormalMatrices = new Mat3[bones.size()];
    batch->maxInfluences = maxInfluences;
}

}  // namespace

using Bones = GLDrawing;

TEST_F(Bones, EachBatchGetsItsBoneMatricesAndInfluenceCount) {
    auto program = MakeProgram(kPassThroughVertexShader,
                               "precision mediump float;\n"
                               "uniform mat4 Vomra_un_BoneModel[2];\n"
                               "uniform int Vomra_un_BoneCount;\n"
                               "void main() {\n"
                               "  gl_FragColor = vec4(Vomra_un_BoneModel[0][3].xyz,\n"
                               "                      float(Vomra_un_BoneCount) / 4.0);\n"
                               "}\n");
    Mesh* mesh = Keep(MakeMesh({TwoQuads()}, 8));
    Mesh::ClearBatches(&mesh->batches);
    SceneNode bone;
    bone.world.LoadTranslate(0.2f, 0, 0);
    VertexBatch* left = NewStrip(0, 4);
    SetBones(left, {&bone}, 1);
    left->boneMatrices[0].LoadTranslate(0, 0.4f, 0);
    mesh->batches.Add(left);
    VertexBatch* right = NewStrip(4, 4);
    right->maxInfluences = 3;  // not sent without bones
    mesh->batches.Add(right);
    Draw(mesh, program.get());
    // World x bind: both translations.
    EXPECT_TRUE(PixelNear(Left(), {51, 102, 0, 64}));
    // Without bones the count is 0; the matrices stay as the last batch left them.
    EXPECT_TRUE(PixelNear(Right(), {51, 102, 0, 0}));
}

TEST_F(Bones, NormalMatricesCombineAndOnlyEightBonesAreSent) {
    auto program = MakeProgram(kPassThroughVertexShader,
                               "precision mediump float;\n"
                               "uniform mat3 Vomra_un_BoneModelIT[2];\n"
                               "void main() {\n"
                               "  gl_FragColor = vec4(Vomra_un_BoneModelIT[1][0][0],\n"
                               "                      Vomra_un_BoneModelIT[1][1][1], 0.0, 1.0);\n"
                               "}\n");
    Mesh* mesh = Keep(MakeMesh({TwoQuads()}, 8));
    Mesh::ClearBatches(&mesh->batches);
    SceneNode first, second;
    second.normalMatrix.LoadScale(0.5f, 0.5f, 1);
    VertexBatch* left = NewStrip(0, 4);
    SetBones(left, {&first, &second}, 2);
    left->boneNormalMatrices[1].LoadScale(0.8f, 0.4f, 1);
    mesh->batches.Add(left);
    VertexBatch* right = NewStrip(4, 4);
    SetBones(right, std::vector<SceneNode*>(9, &second), 4);
    for (int i = 0; i < 9; ++i) right->boneNormalMatrices[i].LoadScale(0.4f, 0.8f, 1);
    mesh->batches.Add(right);
    Draw(mesh, program.get());
    EXPECT_TRUE(PixelNear(Left(), {102, 51, 0, 255}));
    EXPECT_TRUE(PixelNear(Right(), {51, 102, 0, 255}));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

using DynamicMesh = GLDrawing;

TEST_F(DynamicMesh, ChangedVerticesAreDrawnAfterUpdateDynamic) {
    Mesh* mesh = Keep(MakeMesh({TwoQuads()}, 4));
    AttributeArray* positions = mesh->GetVertexArray(0);
    positions->dynamic = true;
    Draw(mesh);
    EXPECT_TRUE(PixelNear(Left(), kWhite, 0));
    EXPECT_TRUE(PixelNear(Right(), kBlack, 0));
    // Move the first quad onto the second one.
    float* p = reinterpret_cast<float*>(positions->data);
    for (int i = 0; i < 4; ++i) p[i * 2] += 1.0f;
    mesh->initializer->UpdateDynamic();
    Draw(mesh);
    EXPECT_TRUE(PixelNear(Left(), kBlack, 0));
    EXPECT_TRUE(PixelNear(Right(), kWhite, 0));
}

TEST_F(DynamicMesh, GrownArrayGetsStorageForItsNewVertices) {
    Mesh* mesh =
        Keep(MakeMesh({Floats(AttributeArray::at_Location, 2, {-1, -1, 0, -1, -1, 1, 0, 1})}, 4));
    AttributeArray* positions = mesh->GetVertexArray(0);
    positions->dynamic = true;
    Draw(mesh);
    ArrayData both = TwoQuads();
    delete[] positions->data;
    positions->data = new unsigned char[both.bytes.size()];
    memcpy(positions->data, both.bytes.data(), both.bytes.size());
    positions->count = 8;
    mesh->initializer->UpdateDynamic();
    mesh->batches[0]->firstVertex = 4;
    CaptureFd out(1);
    Draw(mesh);
    EXPECT_EQ(out.Stop(), "");
    EXPECT_TRUE(PixelNear(Left(), kBlack, 0));
    EXPECT_TRUE(PixelNear(Right(), kWhite, 0));
}

using BadBatches = GLDrawing;

TEST_F(BadBatches, IndexPastTheVertexCountSkipsItsBatchAndIsReportedOnce) {
    Mesh* mesh = Keep(MakeMesh({TwoQuads()}, 0));
    mesh->SetTriangleArrays(
        MakeArrays({Shorts(AttributeArray::at_TrianleStrip, 1, {0, 1, 2, 3, 4, 5, 6, 99})}), 1);
    mesh->stripLengths = MakeArray(Shorts(AttributeArray::at_Custom0, 1, {4, 4}));
    mesh->UpdateBatches();
    CaptureFd out(1);
    Draw(mesh);
    std::string first = out.Stop();
    EXPECT_EQ(first, "GLES2Renderer::DrawMesh(): batch 1 of mesh " + MeshPointer(mesh) +
                         " uses vertex 99 of 8, skipped\n");
    EXPECT_TRUE(PixelNear(Left(), kWhite, 0));
    EXPECT_TRUE(PixelNear(Right(), kBlack, 0));
    CaptureFd again(1);
    Draw(mesh);
    EXPECT_EQ(again.Stop(), "");
    EXPECT_TRUE(PixelNear(Left(), kWhite, 0));
}

TEST_F(BadBatches, BatchRunningPastItsIndexArrayIsSkipped) {
    Mesh* mesh = Keep(MakeMesh({TwoQuads()}, 0));
    mesh->SetTriangleArrays(MakeArrays({Shorts(AttributeArray::at_TrianleStrip, 1, {0, 1, 2, 3})}),
                            1);
    mesh->stripLengths = MakeArray(Shorts(AttributeArray::at_Custom0, 1, {4}));
    mesh->UpdateBatches();
    mesh->batches[0]->firstIndex = 2;
    CaptureFd out(1);
    Draw(mesh);
    EXPECT_EQ(out.Stop(), "GLES2Renderer::DrawMesh(): batch 0 of mesh " + MeshPointer(mesh) +
                              " reads 4 indices from 2 of 4, skipped\n");
    EXPECT_TRUE(PixelNear(Left(), kBlack, 0));
}

TEST_F(BadBatches, NonIndexedBatchPastTheShortestArrayIsSkipped) {
    // Positions for four vertices, colours for three: only three can be drawn.
    Mesh* mesh = Keep(MakeMesh({FullQuad(), Bytes(AttributeArray::at_Color, 4,
                                                  std::vector<unsigned char>(12, 255))},
                               4));
    CaptureFd out(1);
    Draw(mesh);
    EXPECT_EQ(out.Stop(), "GLES2Renderer::DrawMesh(): batch 0 of mesh " + MeshPointer(mesh) +
                              " draws 4 vertices from 0 of 3, skipped\n");
    EXPECT_TRUE(PixelNear(Left(), kBlack, 0));

    Mesh* tooMany = Keep(MakeMesh({FullQuad()}, 6));
    CaptureFd out2(1);
    Draw(tooMany);
    EXPECT_EQ(out2.Stop(), "GLES2Renderer::DrawMesh(): batch 0 of mesh " + MeshPointer(tooMany) +
                               " draws 6 vertices from 0 of 4, skipped\n");
}

TEST_F(BadBatches, MissingIndexArrayAndUnknownPrimitiveAreSkipped) {
    Mesh* mesh = Keep(MakeMesh({TwoQuads()}, 0));
    mesh->SetTriangleArrays(MakeArrays({Floats(AttributeArray::at_Triangle, 1, {0, 1, 2})}), 1);
    Mesh::ClearBatches(&mesh->batches);
    VertexBatch* missing = NewStrip(0, 3);
    missing->indexed = true;
    missing->triangleArray = 5;
    VertexBatch* floatIndices = NewStrip(0, 3);
    floatIndices->indexed = true;
    floatIndices->triangleArray = 0;
    VertexBatch* odd = NewStrip(0, 4);
    odd->primitive = 7;
    VertexBatch* good = NewStrip(4, 4);
    mesh->batches.Add(missing);
    mesh->batches.Add(floatIndices);
    mesh->batches.Add(odd);
    mesh->batches.Add(good);
    CaptureFd out(1);
    Draw(mesh);
    std::string p = MeshPointer(mesh);
    EXPECT_EQ(out.Stop(),
              "GLES2Renderer::DrawMesh(): batch 0 of mesh " + p +
                  " has no usable index array 5, skipped\n"
                  "GLES2Renderer::DrawMesh(): batch 1 of mesh " + p +
                  " has no usable index array 0, skipped\n"
                  "GLES2Renderer::DrawMesh(): batch 2 of mesh " + p +
                  " has unknown primitive 7, skipped\n");
    EXPECT_TRUE(PixelNear(Left(), kBlack, 0));
    EXPECT_TRUE(PixelNear(Right(), kWhite, 0));
}
