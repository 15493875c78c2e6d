// The GLES2 renderer under a real context: passes and clears, render
// targets, blending, texture wrap and filter modes, uniforms of every
// element type and the fixed uniforms of program, texture, material and
// geometry states, all checked on pixels read back.
#include <GLES2/gl2.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/Camera.h"
#include "engine/FrameBuffer.h"
#include "engine/Mesh.h"
#include "engine/Pass.h"
#include "engine/Program.h"
#include "engine/RenderBuffer.h"
#include "engine/SceneNode.h"
#include "engine/Technique.h"
#include "engine/Texture2D.h"
#include "engine/Uniform.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "render/MaterialState.h"
#include "render/ProgramState.h"
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"
#include "render/UniformState.h"
#include "render/gles2/GLES2Engine.h"
#include "render/gles2/GLES2FrameBufferInitializer.h"
#include "render/gles2/GLES2ProgramInitializer.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

const unsigned int kSize = 16;

const char* const kColourFragmentShader =
    "precision mediump float;\n"
    "uniform vec4 color;\n"
    "void main() { gl_FragColor = color; }\n";

// A vec4 uniform named "color" and the state that uploads it.
struct ColourValue {
    ColourValue(float r, float g, float b, float a) : value{r, g, b, a}, uniform("color") {
        uniform.SetValue(Uniform::ET_Vec4, 1, value, true);
        state.uniform = &uniform;
    }
    float value[4];
    Uniform uniform;
    UniformState state;
};

// A 16x16 target, a fresh renderer and a node holding a quad over the
// whole target.
class GLRendering : public GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        if (HasFatalFailure()) return;
        target.reset(new GLTarget(kSize, kSize));
        renderer.SetViewport(0, 0, kSize, kSize);
        quad = MakeMesh({FullQuad()}, 4);
        node.Attach(quad.get());
    }
    void TearDown() override {
        if (quad && quad->initializer) quad->initializer->Deinit();
    }

    // Clears the target to `clear`, applies the states, then draws the node.
    void Draw(const Vec4& clear, std::vector<RenderState*> states) {
        Pass pass(nullptr, nullptr, &target->frameBuffer, true, clear);
        states.push_back(&node.geometryState);
        for (RenderState* s : states) pass.queue.states.Add(s);
        renderer.RenderPass(&pass);
    }
    Rgba Centre() { return target->Read(kSize / 2, kSize / 2); }

    GLES2Renderer renderer;
    std::unique_ptr<GLTarget> target;
    std::unique_ptr<Mesh> quad;
    SceneNode node;
};

}  // namespace

using PassClear = GLRendering;

TEST_F(PassClear, ClearsColourToThePassValue) {
    Pass pass(nullptr, nullptr, &target->frameBuffer, true, Vec4(0.2f, 0.4f, 0.6f, 0.8f));
    RunPass(&renderer, &pass, {});
    EXPECT_TRUE(PixelNear(target->Read(0, 0), {51, 102, 153, 204}));
    EXPECT_TRUE(PixelNear(target->Read(15, 15), {51, 102, 153, 204}));
}

TEST_F(PassClear, PassClearingNothingKeepsPixelsButSetsClearValues) {
    Pass red(nullptr, nullptr, &target->frameBuffer, true, Vec4(1, 0, 0, 1));
    RunPass(&renderer, &red, {});
    Pass none(nullptr, nullptr, &target->frameBuffer, false, Vec4(0, 0, 1, 1), false, 0.25f, false,
              7);
    RunPass(&renderer, &none, {});
    EXPECT_TRUE(PixelNear(target->Read(3, 3), {255, 0, 0, 255}));
    GLfloat colour[4] = {0, 0, 0, 0};
    GLfloat depth = 0;
    GLint stencil = 0;
    glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    glGetIntegerv(GL_STENCIL_CLEAR_VALUE, &stencil);
    EXPECT_FLOAT_EQ(colour[2], 1.0f);
    EXPECT_FLOAT_EQ(colour[0], 0.0f);
    EXPECT_FLOAT_EQ(depth, 0.25f);
    EXPECT_EQ(stencil, 7);
}

TEST_F(PassClear, ClearedDepthGatesLaterDrawing) {
    Texture2D colour;
    colour.format = Texture::TF_RGBA8;
    colour.width = colour.height = kSize;
    RenderBuffer depth;
    depth.width = depth.height = kSize;
    FrameBuffer frameBuffer;
    frameBuffer.Attach(FrameBuffer::A_Color0, &colour);
    frameBuffer.Attach(FrameBuffer::A_Depth, &depth);
    auto program = MakeProgram("uniform float z;\n"
                               "attribute vec4 Vomra_va_Location;\n"
                               "void main() {\n"
                               "  gl_Position = vec4(Vomra_va_Location.xy, z, 1.0);\n"
                               "}\n",
                               kColourFragmentShader);
    ProgramState useProgram(program.get());
    GenericState depthTest(GenericState::GS_DepthTest, true);
    float farZ = 0.2f, nearZ = -0.2f;  // window depths 0.6 and 0.4
    Uniform z("z");
    UniformState setZ(&z);
    ColourValue red(1, 0, 0, 1), green(0, 1, 0, 1);

    Pass clear(nullptr, nullptr, &frameBuffer, true, Vec4(0, 0, 0, 1), true, 0.5f);
    RunPass(&renderer, &clear, {});
    Pass draw(nullptr, nullptr, &frameBuffer);
    z.SetValue(Uniform::ET_Float, 1, &farZ, true);
    RunPass(&renderer, &draw, {&depthTest, &useProgram, &setZ, &red.state, &node.geometryState});
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLES2FrameBufferInitializer*>(
                                          frameBuffer.initializer)->framebufferName);
    EXPECT_TRUE(PixelNear(ReadBound(8, 8), {0, 0, 0, 255}));
    z.SetValue(Uniform::ET_Float, 1, &nearZ, true);
    RunPass(&renderer, &draw, {&setZ, &green.state, &node.geometryState});
    EXPECT_TRUE(PixelNear(ReadBound(8, 8), {0, 255, 0, 255}));
    glDisable(GL_DEPTH_TEST);
}

TEST_F(PassClear, DisabledPassIsSkippedByRender) {
    Pass red(nullptr, nullptr, &target->frameBuffer, true, Vec4(1, 0, 0, 1));
    Pass green(nullptr, nullptr, &target->frameBuffer, true, Vec4(0, 1, 0, 1));
    green.enabled = false;
    Technique technique;
    technique.passes.Add(&red);
    technique.passes.Add(&green);
    renderer.BindTechnique(&technique);
    renderer.Render();
    EXPECT_TRUE(PixelNear(Centre(), {255, 0, 0, 255}));
}

using RenderTargets = GLRendering;

TEST_F(RenderTargets, DefaultTargetFollowsSetDefaultRenderTarget) {
    renderer.SetDefaultRenderTarget(&target->frameBuffer);
    Pass green(nullptr, nullptr, nullptr, true, Vec4(0, 1, 0, 1));
    RunPass(&renderer, &green, {});
    EXPECT_TRUE(PixelNear(Centre(), {0, 255, 0, 255}));

    renderer.SetDefaultRenderTarget(nullptr);
    EXPECT_EQ(renderer.defaultFramebuffer, 0u);
    Pass blue(nullptr, nullptr, nullptr, true, Vec4(0, 0, 1, 1));
    RunPass(&renderer, &blue, {});
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_TRUE(PixelNear(ReadBound(0, 0), {0, 0, 255, 255}, 1));
    EXPECT_TRUE(PixelNear(Centre(), {0, 255, 0, 255}));
}

TEST_F(RenderTargets, FramebufferWithoutGLObjectIsInitialisedOnFirstUse) {
    Texture2D colour;
    colour.format = Texture::TF_RGBA8;
    colour.width = colour.height = 4;
    FrameBuffer frameBuffer;
    frameBuffer.Attach(FrameBuffer::A_Color0, &colour);
    Pass pass(nullptr, nullptr, &frameBuffer, true, Vec4(1, 1, 0, 1));
    RunPass(&renderer, &pass, {});
    ASSERT_NE(frameBuffer.initializer, nullptr);
    EXPECT_TRUE(frameBuffer.initializer->initialized);
    EXPECT_TRUE(PixelNear(ReadBound(1, 1), {255, 255, 0, 255}));
}

using Blending = GLRendering;

TEST_F(Blending, OneOneAddSumsBothColours) {
    auto program = MakeProgram(kPassThroughVertexShader, kColourFragmentShader);
    ProgramState useProgram(program.get());
    GenericState blend(GenericState::GS_Blend, true);
    BlendState add;
    add.srcRGB = add.srcAlpha = add.dstRGB = add.dstAlpha = BlendState::BF_ONE;
    ColourValue src(0.2f, 0.2f, 0.6f, 0.4f);
    Draw(Vec4(0.2f, 0.4f, 0.0f, 0.2f), {&blend, &add, &useProgram, &src.state});
    EXPECT_TRUE(PixelNear(Centre(), {102, 153, 153, 153}, 2));
}

TEST_F(Blending, SubtractAndReverseSubtract) {
    auto program = MakeProgram(kPassThroughVertexShader, kColourFragmentShader);
    ProgramState useProgram(program.get());
    GenericState blend(GenericState::GS_Blend, true);
    BlendState subtract;
    subtract.srcRGB = subtract.srcAlpha = subtract.dstRGB = subtract.dstAlpha = BlendState::BF_ONE;
    subtract.equationRGB = subtract.equationAlpha = BlendState::BE_SUBTRACT;
    ColourValue src(0.6f, 0.6f, 0.6f, 0.6f);
    Draw(Vec4(0.2f, 0.4f, 0.0f, 0.2f), {&blend, &subtract, &useProgram, &src.state});
    EXPECT_TRUE(PixelNear(Centre(), {102, 51, 153, 102}, 2));

    BlendState reverse = subtract;
    reverse.equationRGB = reverse.equationAlpha = BlendState::BE_REV_SUBTRACT;
    ColourValue small(0.2f, 0.2f, 0.0f, 0.2f);
    Draw(Vec4(0.6f, 0.4f, 0.2f, 0.6f), {&blend, &reverse, &useProgram, &small.state});
    EXPECT_TRUE(PixelNear(Centre(), {102, 51, 51, 102}, 2));
}

TEST_F(Blending, ConstantColourScalesTheSource) {
    auto program = MakeProgram(kPassThroughVertexShader, kColourFragmentShader);
    ProgramState useProgram(program.get());
    GenericState blend(GenericState::GS_Blend, true);
    BlendState constant;
    constant.srcRGB = BlendState::BF_CONSTANT_COLOR;
    constant.srcAlpha = BlendState::BF_CONSTANT_ALPHA;
    constant.dstRGB = constant.dstAlpha = BlendState::BF_ZERO;
    constant.color = Vec4(0.5f, 0.25f, 1.0f, 0.5f);
    ColourValue src(0.8f, 0.8f, 0.4f, 1.0f);
    Draw(Vec4(1, 1, 1, 1), {&blend, &constant, &useProgram, &src.state});
    EXPECT_TRUE(PixelNear(Centre(), {102, 51, 102, 128}, 2));
}

TEST_F(Blending, AlphaFactorsAreKeptApartFromColourFactors) {
    auto program = MakeProgram(kPassThroughVertexShader, kColourFragmentShader);
    ProgramState useProgram(program.get());
    GenericState blend(GenericState::GS_Blend, true);
    // Colours add up; alpha comes from the destination only.
    BlendState split;
    split.srcRGB = BlendState::BF_ONE;
    split.dstRGB = BlendState::BF_ONE;
    split.srcAlpha = BlendState::BF_ZERO;
    split.dstAlpha = BlendState::BF_ONE;
    ColourValue src(0.2f, 0.4f, 0.6f, 0.6f);
    Draw(Vec4(0.2f, 0.2f, 0.2f, 0.2f), {&blend, &split, &useProgram, &src.state});
    EXPECT_TRUE(PixelNear(Centre(), {102, 153, 204, 51}, 2));
}

TEST_F(Blending, DisabledBlendingOverwrites) {
    auto program = MakeProgram(kPassThroughVertexShader, kColourFragmentShader);
    ProgramState useProgram(program.get());
    GenericState on(GenericState::GS_Blend, true), off(GenericState::GS_Blend, false);
    BlendState add;
    add.dstRGB = add.dstAlpha = BlendState::BF_ONE;
    ColourValue src(0.2f, 0.2f, 0.2f, 1.0f);
    Draw(Vec4(0.4f, 0.4f, 0.4f, 1), {&on, &add, &off, &useProgram, &src.state});
    EXPECT_TRUE(PixelNear(Centre(), {51, 51, 51, 255}, 1));
}

TEST_F(Blending, MinEquationHasNoGLValueAndDrawingGoesOn) {
    auto program = MakeProgram(kPassThroughVertexShader, kColourFragmentShader);
    ProgramState useProgram(program.get());
    GenericState blend(GenericState::GS_Blend, true);
    BlendState min;
    min.equationRGB = min.equationAlpha = BlendState::BE_MIN;
    renderer.AssignState(&min);
    EXPECT_EQ(glGetError(), GLenum(GL_INVALID_ENUM));
    ColourValue src(0.2f, 0.4f, 0.6f, 1.0f);
    // The equation stays add: ONE/ZERO replaces the destination.
    Draw(Vec4(1, 1, 1, 1), {&blend, &min, &useProgram, &src.state});
    EXPECT_TRUE(PixelNear(Centre(), {51, 102, 153, 255}, 1));
}

namespace {

// 2x2 RGBA: bottom row red, green; top row blue, white.
std::unique_ptr<Texture2D> Checker() {
    std::unique_ptr<Texture2D> texture(new Texture2D());
    texture->format = Texture::TF_RGBA8;
    texture->width = texture->height = 2;
    texture->pixels = new unsigned char[16]{255, 0, 0, 255, 0, 255, 0, 255,
                                            0, 0, 255, 255, 255, 255, 255, 255};
    texture->Init();
    return texture;
}

const char* const kSampleFragmentShader =
    "precision mediump float;\n"
    "uniform sampler2D Vomra_un_TextureSampler0;\n"
    "uniform vec2 coord;\n"
    "void main() { gl_FragColor = texture2D(Vomra_un_TextureSampler0, coord); }\n";

}  // namespace

class TextureSampling : public GLRendering {
protected:
    void SetUp() override {
        GLRendering::SetUp();
        if (HasFatalFailure()) return;
        texture = Checker();
        program = MakeProgram(kPassThroughVertexShader, kSampleFragmentShader);
        useProgram.program = program.get();
        bind.reset(new TextureState(texture.get(), 0));
        sampler.reset(new TextureSamplerState(texture.get(), 0));
        coordUniform.SetValue(Uniform::ET_Vec2, 1, coord, true);
        setCoord.uniform = &coordUniform;
    }
    void TearDown() override {
        if (texture && texture->initializer) texture->initializer->Deinit();
        GLRendering::TearDown();
    }
    Rgba Sample(float s, float t) {
        coord[0] = s;
        coord[1] = t;
        Draw(Vec4(0, 0, 0, 0), {&useProgram, bind.get(), sampler.get(), &setCoord});
        return Centre();
    }

    std::unique_ptr<Texture2D> texture;
    std::unique_ptr<Program> program;
    ProgramState useProgram;
    std::unique_ptr<TextureState> bind;
    std::unique_ptr<TextureSamplerState> sampler;
    float coord[2] = {0, 0};
    Uniform coordUniform{"coord"};
    UniformState setCoord;
};

TEST_F(TextureSampling, RepeatWrapsAndClampHoldsTheEdgeInS) {
    sampler->magFilter = sampler->minFilter = TextureSamplerState::FM_NEAREST;
    sampler->wrapS = TextureSamplerState::WM_REPEAT;
    sampler->wrapT = TextureSamplerState::WM_CLAMP_TO_EDGE;
    EXPECT_TRUE(PixelNear(Sample(1.25f, 0.25f), {255, 0, 0, 255}, 0));
    sampler->wrapS = TextureSamplerState::WM_CLAMP_TO_EDGE;
    EXPECT_TRUE(PixelNear(Sample(1.25f, 0.25f), {0, 255, 0, 255}, 0));
}

TEST_F(TextureSampling, RepeatWrapsAndClampHoldsTheEdgeInT) {
    sampler->magFilter = sampler->minFilter = TextureSamplerState::FM_NEAREST;
    sampler->wrapS = TextureSamplerState::WM_CLAMP_TO_EDGE;
    sampler->wrapT = TextureSamplerState::WM_REPEAT;
    EXPECT_TRUE(PixelNear(Sample(0.25f, 1.25f), {255, 0, 0, 255}, 0));
    sampler->wrapT = TextureSamplerState::WM_CLAMP_TO_EDGE;
    EXPECT_TRUE(PixelNear(Sample(0.25f, 1.25f), {0, 0, 255, 255}, 0));
}

TEST_F(TextureSampling, NearestPicksATexelAndLinearMixesTwo) {
    sampler->wrapS = sampler->wrapT = TextureSamplerState::WM_CLAMP_TO_EDGE;
    // The texture is magnified: only the magnification filter counts.
    sampler->magFilter = TextureSamplerState::FM_NEAREST;
    sampler->minFilter = TextureSamplerState::FM_LINEAR;
    EXPECT_TRUE(PixelNear(Sample(0.45f, 0.25f), {255, 0, 0, 255}, 0));
    sampler->magFilter = TextureSamplerState::FM_LINEAR;
    sampler->minFilter = TextureSamplerState::FM_NEAREST;
    // 0.45 lies 40% of the way from the red texel centre to the green one.
    EXPECT_TRUE(PixelNear(Sample(0.45f, 0.25f), {153, 102, 0, 255}, 2));
}

TEST_F(TextureSampling, MipmappedTextureCombinesMinAndMipmapFilters) {
    Texture2D mipmapped;
    mipmapped.format = Texture::TF_RGBA8;
    mipmapped.mipmapped = true;
    mipmapped.width = mipmapped.height = 2;
    mipmapped.pixels = new unsigned char[16]();
    mipmapped.Init();
    TextureState bindMipmapped(&mipmapped, 1);
    TextureSamplerState samplerState(&mipmapped, 1);
    samplerState.minFilter = TextureSamplerState::FM_NEAREST;
    samplerState.mipmapFilter = 1;
    renderer.AssignState(&bindMipmapped);
    renderer.AssignState(&samplerState);
    GLint minFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_NEAREST_MIPMAP_LINEAR);
    mipmapped.initializer->Deinit();
}

TEST_F(TextureSampling, SamplerThreeReadsTheTextureOfUnitThree) {
    auto unit3 = MakeProgram(kPassThroughVertexShader,
                             "precision mediump float;\n"
                             "uniform sampler2D Vomra_un_TextureSampler3;\n"
                             "void main() {\n"
                             "  vec2 st = vec2(0.75, 0.75);\n"
                             "  gl_FragColor = texture2D(Vomra_un_TextureSampler3, st);\n"
                             "}\n");
    ProgramState useUnit3(unit3.get());
    TextureState bind3(texture.get(), 3);
    TextureSamplerState sampler3(texture.get(), 3);
    sampler3.magFilter = TextureSamplerState::FM_NEAREST;
    Draw(Vec4(0, 0, 0, 0), {&useUnit3, &bind3, &sampler3});
    EXPECT_TRUE(PixelNear(Centre(), {255, 255, 255, 255}, 0));
    EXPECT_EQ(renderer.maxTextureUnit, 3u);
}

namespace {

struct UniformCase {
    const char* name;
    const char* declaration;
    const char* colour;
    Uniform::ElementType type;
    unsigned int count;
    std::vector<int> ints;
    std::vector<float> floats;
    Rgba expected;
};

}  // namespace

using UniformUpload = GLRendering;

TEST_F(UniformUpload, EveryElementTypeReachesTheShader) {
    const std::vector<UniformCase> cases = {
        {"int", "int u", "vec4(float(u) / 255.0, 0.0, 0.0, 1.0)", Uniform::ET_Int, 1, {51}, {},
         {51, 0, 0, 255}},
        {"ivec2", "ivec2 u", "vec4(vec2(u) / 255.0, 0.0, 1.0)", Uniform::ET_IVec2, 1, {51, 102},
         {}, {51, 102, 0, 255}},
        {"ivec3", "ivec3 u", "vec4(vec3(u) / 255.0, 1.0)", Uniform::ET_IVec3, 1, {51, 102, 153},
         {}, {51, 102, 153, 255}},
        {"ivec4", "ivec4 u", "vec4(u) / 255.0", Uniform::ET_IVec4, 1, {51, 102, 153, 204}, {},
         {51, 102, 153, 204}},
        {"float", "float u", "vec4(u, 0.0, 0.0, 1.0)", Uniform::ET_Float, 1, {}, {0.2f},
         {51, 0, 0, 255}},
        {"vec2", "vec2 u", "vec4(u, 0.0, 1.0)", Uniform::ET_Vec2, 1, {}, {0.2f, 0.4f},
         {51, 102, 0, 255}},
        {"vec3", "vec3 u", "vec4(u, 1.0)", Uniform::ET_Vec3, 1, {}, {0.2f, 0.4f, 0.6f},
         {51, 102, 153, 255}},
        {"vec4", "vec4 u", "u", Uniform::ET_Vec4, 1, {}, {0.2f, 0.4f, 0.6f, 0.8f},
         {51, 102, 153, 204}},
        {"vec4 array", "vec4 u[2]", "u[1]", Uniform::ET_Vec4, 2, {},
         {1, 1, 1, 1, 0.2f, 0.4f, 0.6f, 0.8f}, {51, 102, 153, 204}},
        // Column-major: a transposed upload would swap the middle channels.
        {"mat2", "mat2 u", "vec4(u[0][0], u[0][1], u[1][0], u[1][1])", Uniform::ET_Mat2, 1, {},
         {0.2f, 0.4f, 0.6f, 0.8f}, {51, 102, 153, 204}},
        {"mat3", "mat3 u", "vec4(u[0][1], u[1][2], u[2][0], 1.0)", Uniform::ET_Mat3, 1, {},
         {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f}, {51, 153, 179, 255}},
        {"mat4", "mat4 u", "vec4(u[0][3], u[1][2], u[3][0], u[2][1])", Uniform::ET_Mat4, 1, {},
         {0.0f, 0.05f, 0.1f, 0.15f, 0.2f, 0.25f, 0.3f, 0.35f, 0.4f, 0.45f, 0.5f, 0.55f, 0.6f,
          0.65f, 0.7f, 0.75f},
         {38, 77, 153, 115}},
    };
    for (const UniformCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string source = std::string("precision mediump float;\nuniform ") + c.declaration +
                             ";\nvoid main() { gl_FragColor = " + c.colour + "; }\n";
        auto program = MakeProgram(kPassThroughVertexShader, source.c_str());
        ASSERT_TRUE(program->initializer->initialized);
        ProgramState useProgram(program.get());
        std::vector<int> ints = c.ints;
        std::vector<float> floats = c.floats;
        Uniform uniform("u");
        if (!ints.empty())
            uniform.SetValue(c.type, c.count, ints.data(), true);
        else
            uniform.SetValue(c.type, c.count, floats.data(), true);
        UniformState state(&uniform);
        Draw(Vec4(0, 0, 0, 0), {&useProgram, &state});
        EXPECT_TRUE(PixelNear(Centre(), c.expected, 1));
    }
}

TEST_F(UniformUpload, WorldTransformFollowsTheNodeAndLocalTransformUploadsNothing) {
    const char* source =
        "precision mediump float;\n"
        "uniform mat4 u;\n"
        "void main() { gl_FragColor = vec4(u[3].xyz, 1.0); }\n";
    SceneNode spatial;
    spatial.world.LoadTranslate(0.2f, 0.4f, 0.6f);
    Uniform uniform("u");
    uniform.AttachWorldTransform(&spatial);
    UniformState state(&uniform);

    auto world = MakeProgram(kPassThroughVertexShader, source);
    ProgramState useWorld(world.get());
    Draw(Vec4(0, 0, 0, 0), {&useWorld, &state});
    EXPECT_TRUE(PixelNear(Centre(), {51, 102, 153, 255}, 1));

    // A fresh program whose matrix starts at zero keeps it.
    auto local = MakeProgram(kPassThroughVertexShader, source);
    ProgramState useLocal(local.get());
    uniform.AttachLocalTransform(&spatial);
    Draw(Vec4(1, 1, 1, 1), {&useLocal, &state});
    EXPECT_TRUE(PixelNear(Centre(), {0, 0, 0, 255}, 0));
}

TEST_F(UniformUpload, NameTheProgramLacksUploadsNothing) {
    auto program = MakeProgram(kPassThroughVertexShader, kColourFragmentShader);
    ProgramState useProgram(program.get());
    ColourValue green(0, 1, 0, 1);
    float red[4] = {1, 0, 0, 1};
    Uniform other("notInTheShader");
    other.SetValue(Uniform::ET_Vec4, 1, red, true);
    UniformState setOther(&other);
    Draw(Vec4(0, 0, 0, 0), {&useProgram, &green.state, &setOther});
    EXPECT_TRUE(PixelNear(Centre(), {0, 255, 0, 255}, 0));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

using ProgramStates = GLRendering;

TEST_F(ProgramStates, FailedProgramDrawsNothingEvenAfterAGoodOne) {
    auto good = MakeProgram(kPassThroughVertexShader, kColourFragmentShader);
    ProgramState useGood(good.get());
    ColourValue green(0, 1, 0, 1);
    Draw(Vec4(0, 0, 0, 1), {&useGood, &green.state});
    ASSERT_TRUE(PixelNear(Centre(), {0, 255, 0, 255}, 0));

    CaptureFd out(1);
    auto bad = MakeProgram(kPassThroughVertexShader, "void main() { broken }\n");
    out.Stop();
    ProgramState useBad(bad.get());
    Draw(Vec4(0, 0, 1, 1), {&useBad, &green.state});
    EXPECT_TRUE(PixelNear(Centre(), {0, 0, 255, 255}, 0));
    EXPECT_EQ(renderer.GetProgramInitializer(), nullptr);
}

TEST_F(ProgramStates, GeometryBeforeAnyProgramDrawsNothing) {
    Draw(Vec4(1, 0, 0, 1), {});
    EXPECT_TRUE(PixelNear(Centre(), {255, 0, 0, 255}, 0));
    EXPECT_EQ(quad->initializer, nullptr);
}

TEST_F(ProgramStates, CameraMatricesAndViewportReachTheProgramAtProgramState) {
    auto program = MakeProgram(kPassThroughVertexShader,
                               "precision mediump float;\n"
                               "uniform mat4 Vomra_un_View;\n"
                               "uniform mat4 Vomra_un_Projection;\n"
                               "uniform mat4 Vomra_un_PrevView;\n"
                               "uniform ivec2 Vomra_un_ViewportSize;\n"
                               "void main() {\n"
                               "  ivec2 size = Vomra_un_ViewportSize;\n"
                               "  gl_FragColor = vec4(Vomra_un_View[3].x,\n"
                               "      Vomra_un_Projection[3].y, float(size.x + size.y) / 255.0,\n"
                               "      Vomra_un_PrevView[3].z);\n"
                               "}\n");
    ProgramState useProgram(program.get());
    Mat4 view, projection, prevView;
    view.LoadTranslate(0.2f, 0, 0);
    projection.LoadTranslate(0, 0.4f, 0);
    prevView.LoadTranslate(0, 0, 0.6f);
    renderer.AssignViewMatrix(view);
    renderer.AssignPrevViewMatrix(prevView);
    renderer.AssignProjectionMatrix(projection);
    renderer.AssignState(&useProgram);
    // RenderPass would load the identity projection; draw by hand instead.
    renderer.SetRenderTarget(&target->frameBuffer);
    renderer.AssignState(&node.geometryState);
    EXPECT_TRUE(PixelNear(Centre(), {51, 102, 32, 153}, 1));

    // Changed matrices wait for the next program state.
    view.LoadTranslate(0.8f, 0, 0);
    renderer.AssignViewMatrix(view);
    renderer.AssignState(&node.geometryState);
    EXPECT_TRUE(PixelNear(Centre(), {51, 102, 32, 153}, 1));
    renderer.AssignState(&useProgram);
    renderer.AssignState(&node.geometryState);
    EXPECT_TRUE(PixelNear(Centre(), {204, 102, 32, 153}, 1));
}

TEST_F(ProgramStates, PassCameraGivesProjectionAndInverseView) {
    auto program = MakeProgram(kPassThroughVertexShader,
                               "precision mediump float;\n"
                               "uniform mat4 Vomra_un_View;\n"
                               "uniform mat4 Vomra_un_Projection;\n"
                               "void main() {\n"
                               "  mat4 p = Vomra_un_Projection;\n"
                               "  float x = -Vomra_un_View[3].x;\n"
                               "  gl_FragColor = vec4(x, p[0][0], p[3][3], 1.0);\n"
                               "}\n");
    ProgramState useProgram(program.get());
    SceneNode cameraNode;
    cameraNode.world.LoadTranslate(0.4f, 0, 0);
    Mat4 previous;
    renderer.AssignProjectionMatrix(previous.LoadScale(0.5f, 0.5f, 0.5f));
    // Without a camera: identity projection, but the view still comes from the node.
    Pass pass(nullptr, &cameraNode, &target->frameBuffer, true, Vec4(0, 0, 0, 0));
    RunPass(&renderer, &pass, {&useProgram, &node.geometryState});
    EXPECT_TRUE(PixelNear(Centre(), {102, 255, 255, 255}, 1));
}

TEST_F(ProgramStates, TextureMatricesOfEveryBoundUnitAreUploaded) {
    auto program = MakeProgram(kPassThroughVertexShader,
                               "precision mediump float;\n"
                               "uniform mat4 Vomra_un_TextureMatrix[2];\n"
                               "void main() {\n"
                               "  gl_FragColor = vec4(Vomra_un_TextureMatrix[0][3].x,\n"
                               "                      Vomra_un_TextureMatrix[1][3].x, 0.0, 1.0);\n"
                               "}\n");
    ProgramState useProgram(program.get());
    std::unique_ptr<Texture2D> first = Checker(), second = Checker(), third = Checker();
    first->textureMatrix.LoadTranslate(0.2f, 0, 0);
    second->textureMatrix.LoadTranslate(0.6f, 0, 0);
    third->textureMatrix.LoadTranslate(0.4f, 0, 0);
    TextureState unit0(first.get(), 0), unit1(second.get(), 1), unit1Again(third.get(), 1);
    // Bound before the program: sent with it as one array.
    Draw(Vec4(0, 0, 0, 0), {&unit0, &unit1, &useProgram});
    EXPECT_TRUE(PixelNear(Centre(), {51, 153, 0, 255}, 1));
    // Bound after it: sent to its own slot at once.
    Draw(Vec4(0, 0, 0, 0), {&unit1Again});
    EXPECT_TRUE(PixelNear(Centre(), {51, 102, 0, 255}, 1));
    for (Texture2D* t : {first.get(), second.get(), third.get()}) t->initializer->Deinit();
}

TEST_F(ProgramStates, MaterialIsUploadedWithTheProgramAndWhenItChanges) {
    auto program = MakeProgram(kPassThroughVertexShader,
                               "precision mediump float;\n"
                               "uniform vec4 Vomra_un_MaterialAmbient;\n"
                               "uniform vec4 Vomra_un_MaterialDiffuse;\n"
                               "uniform vec4 Vomra_un_MaterialSpecular;\n"
                               "uniform vec4 Vomra_un_MaterialEmission;\n"
                               "uniform vec4 Vomra_un_MaterialBase;\n"
                               "uniform float Vomra_un_MaterialShininess;\n"
                               "void main() {\n"
                               "  gl_FragColor = vec4(\n"
                               "      Vomra_un_MaterialAmbient.r + Vomra_un_MaterialDiffuse.r,\n"
                               "      Vomra_un_MaterialSpecular.g + Vomra_un_MaterialEmission.g,\n"
                               "      Vomra_un_MaterialBase.b, Vomra_un_MaterialShininess);\n"
                               "}\n");
    ProgramState useProgram(program.get());
    MaterialState material;
    material.ambient = Vec4(0.1f, 0, 0, 0);
    material.diffuse = Vec4(0.1f, 0, 0, 0);
    material.specular = Vec4(0, 0.2f, 0, 0);
    material.emission = Vec4(0, 0.2f, 0, 0);
    material.base = Vec4(0, 0, 0.6f, 0);
    material.shininess = 0.8f;
    Draw(Vec4(0, 0, 0, 0), {&material, &useProgram});
    EXPECT_TRUE(PixelNear(Centre(), {51, 102, 153, 204}, 1));
    MaterialState other;
    other.base = Vec4(0, 0, 0.2f, 0);
    Draw(Vec4(0, 0, 0, 0), {&other});
    // Defaults: ambient 0.2 + diffuse 0.8, no specular or emission green.
    EXPECT_TRUE(PixelNear(Centre(), {255, 0, 51, 0}, 1));
}

TEST_F(ProgramStates, GeometryStateUploadsTheNodeMatrices) {
    auto program = MakeProgram(kPassThroughVertexShader,
                               "precision mediump float;\n"
                               "uniform mat4 Vomra_un_Model;\n"
                               "uniform mat3 Vomra_un_ModelIT;\n"
                               "uniform mat4 Vomra_un_PrevModel;\n"
                               "void main() {\n"
                               "  gl_FragColor = vec4(Vomra_un_Model[3].x,\n"
                               "      Vomra_un_ModelIT[1][1], Vomra_un_PrevModel[3].z, 1.0);\n"
                               "}\n");
    ProgramState useProgram(program.get());
    node.world.LoadTranslate(0.2f, 0, 0);
    node.normalMatrix.LoadScale(1, 0.4f, 1);
    node.prevWorld.LoadTranslate(0, 0, 0.6f);
    Draw(Vec4(0, 0, 0, 0), {&useProgram});
    EXPECT_TRUE(PixelNear(Centre(), {51, 102, 153, 255}, 1));
}
