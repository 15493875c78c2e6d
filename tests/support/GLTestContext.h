// GL test fixtures: the shell's window and OpenGL ES 2.0 context opened once
// per process, offscreen render targets read back pixel by pixel, and quick
// construction of programs and meshes.
#pragma once

#include <GLES2/gl2.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/AttributeArray.h"
#include "engine/FrameBuffer.h"
#include "engine/Mesh.h"
#include "engine/Program.h"
#include "engine/Texture2D.h"

class GLES2Engine;
class GLES2Renderer;
class Pass;
class RenderState;

namespace testsupport {

// Opens the shell's SDL window and EGL context on first use (the shell's
// engine becomes Engine::activeEngine and its renderer is initialised).
// Returns the engine, or null when no display or context is available.
GLES2Engine* OpenGLContext();

// Puts back the GL state that tests change: no blending, no program, the
// window framebuffer, texture unit 0, default blend function and equation.
void ResetGLState();

struct Rgba {
    int r, g, b, a;
};
// Channels within `tolerance` of each other.
::testing::AssertionResult PixelNear(const Rgba& actual, const Rgba& expected, int tolerance = 1);

// An RGBA Texture2D without pixels attached as colour 0 of a FrameBuffer,
// both initialised. GL objects are released on destruction.
class GLTarget {
public:
    GLTarget(unsigned int width, unsigned int height);
    ~GLTarget();

    GLuint FramebufferName() const;
    // Binds the target's framebuffer and reads one pixel (origin bottom-left).
    Rgba Read(unsigned int x, unsigned int y);

    Texture2D texture;
    FrameBuffer frameBuffer;
    unsigned int width;
    unsigned int height;
};

// Reads one pixel of the framebuffer that is bound.
Rgba ReadBound(unsigned int x, unsigned int y);

// Contents of one attribute or index array.
struct ArrayData {
    AttributeArray::Type type;
    NumericType numericType;
    unsigned int components;
    std::vector<unsigned char> bytes;
};
ArrayData Floats(AttributeArray::Type type, unsigned int components, const std::vector<float>& v);
ArrayData Bytes(AttributeArray::Type type, unsigned int components,
                const std::vector<unsigned char>& v);
ArrayData Shorts(AttributeArray::Type type, unsigned int components,
                 const std::vector<unsigned short>& v);
ArrayData Ints(AttributeArray::Type type, unsigned int components,
               const std::vector<unsigned int>& v);
// One filled array made with new, for Mesh::stripLengths.
AttributeArray* MakeArray(const ArrayData& array);
// A new[] block of filled arrays, for Mesh::SetVertexArrays and friends.
AttributeArray* MakeArrays(const std::vector<ArrayData>& arrays);
// The four corners of clip space as a 2-component strip.
ArrayData FullQuad();

// A mesh with these vertex arrays, no triangle arrays and one strip batch of
// vertexCount vertices (batches built).
std::unique_ptr<Mesh> MakeMesh(const std::vector<ArrayData>& vertexArrays,
                               unsigned int vertexCount, unsigned int primitive = 1);

// A program with both sources, initialised (it may fail; callers check).
std::unique_ptr<Program> MakeProgram(const char* vertexSource, const char* fragmentSource);

// Renders the pass with exactly these states as its queue.
void RunPass(GLES2Renderer* renderer, Pass* pass, std::initializer_list<RenderState*> states);

// Fixture of GL tests: a current context (the test fails without one) and
// GL state put back to the defaults.
class GLTest : public ::testing::Test {
protected:
    void SetUp() override;

    GLES2Engine* engine = nullptr;
};

// The vertex shader most tests use: 2D positions straight to clip space.
extern const char* const kPassThroughVertexShader;

}  // namespace testsupport
