// GL test fixtures: the shell's window and OpenGL ES 2.0 context opened once
// per process, a 16x16 target read back pixel by pixel, quick meshes and programs.
#pragma once

#include <memory>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "engine/FrameBuffer.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/Program.h"
#include "engine/ResourceInitializer.h"
#include "engine/SceneNode.h"
#include "engine/Texture2D.h"
#include "render/ProgramState.h"
#include "render/gles2/GLES2Renderer.h"
#include "support/TestSupport.h"

namespace testsupport {

struct Rgba {
    int c[4];
};
::testing::AssertionResult PixelNear(const Rgba& actual, const Rgba& expected, int tolerance = 1);

// Contents of one attribute or index array; the numeric type follows T.
struct ArrayData {
    AttributeArray::Type type;
    NumericType numericType;
    unsigned int components;
    std::vector<unsigned char> bytes;
};
template <class T>
ArrayData Arr(AttributeArray::Type type, unsigned int components, const std::vector<T>& v) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(v.data());
    NumericType n = std::is_floating_point<T>::value ? NT_Float
                    : sizeof(T) == 1 ? NT_Byte : sizeof(T) == 2 ? NT_Short : NT_Int;
    return ArrayData{type, n, components, {p, p + v.size() * sizeof(T)}};
}
// Fills `a` (made with new, or a new[] block for Mesh::SetVertexArrays and friends).
AttributeArray* Fill(AttributeArray* a, const ArrayData& data);
AttributeArray* MakeArrays(const std::vector<ArrayData>& arrays);
inline ArrayData FullQuad() {  // the corners of clip space as a 2-component strip
    return Arr<float>(AttributeArray::at_Location, 2, {-1, -1, 1, -1, -1, 1, 1, 1});
}
// A mesh with one strip batch of vertexCount vertices.
std::unique_ptr<Mesh> MakeMesh(const std::vector<ArrayData>& arrays, unsigned int vertexCount);
std::unique_ptr<Program> MakeProgram(const char* vertexSource, const char* fragmentSource);
// Pass-through positions and a fragment shader of these uniforms writing `colour`.
std::unique_ptr<Program> ColourProgram(const char* uniforms, const char* colour);
extern const char* const kPassThroughVertexShader;

// A current context (the test fails without one), GL state at its defaults,
// a fresh renderer and a 16x16 RGBA target.
class GLTest : public ::testing::Test {
protected:
    static const unsigned int kSize = 16;
    void SetUp() override;
    void RunPass(Pass* pass, const std::vector<RenderState*>& states);
    // Clears the target, applies the states, then draws `mesh` (a quad over it all by default).
    void Draw(const Vec4& clear, std::vector<RenderState*> states, Mesh* mesh = nullptr);
    Rgba Read(unsigned int x, unsigned int y);  // of the target, origin bottom-left
    Rgba Centre() { return Read(kSize / 2, kSize / 2); }
    Mesh* Keep(std::unique_ptr<Mesh> mesh) {  // until the end of the test
        meshes.push_back(std::move(mesh));
        return meshes.back().get();
    }

    GLES2Renderer renderer;
    Texture2D colour;
    FrameBuffer target;
    SceneNode node;
    Mesh* quad = nullptr;
    std::vector<std::unique_ptr<Mesh>> meshes;
};

}  // namespace testsupport
