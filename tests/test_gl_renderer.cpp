// The GLES2 renderer under a real context, checked on pixels read back: pass
// clears and targets, blending, sampling, uniforms and the fixed uniforms.
#include <GLES2/gl2.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/RenderBuffer.h"
#include "engine/Technique.h"
#include "engine/Uniform.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "render/MaterialState.h"
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"
#include "render/UniformState.h"
#include "render/gles2/GLES2TextureInitializer.h"
#include "support/GLTestContext.h"

using namespace testsupport;

using RenderPass = GLTest;

// The framebuffer was never initialised: it and its renderbuffer are made at first use.
TEST_F(RenderPass, ClearsColourAndDepthOnlyWhenThePassAsks) {
    RenderBuffer depth;
    depth.width = depth.height = kSize;
    FrameBuffer frameBuffer;
    frameBuffer.Attach(FrameBuffer::A_Color0, &colour);
    frameBuffer.Attach(FrameBuffer::A_Depth, &depth);
    auto program = ColourProgram("", "vec4(0, 1, 0, 1)");
    ProgramState useProgram(program.get());
    GenericState depthTest(GenericState::GS_DepthTest, true);
    node.Attach(quad);
    // No program state yet: the program GL has left in use must not draw.
    Pass blue(nullptr, nullptr, &frameBuffer, true, Vec4(0, 0, 1, 1));
    RunPass(&blue, {&node.geometryState});
    EXPECT_TRUE(PixelNear(Centre(), {0, 0, 255, 255}));
    // The quad lies at depth 0.5: behind 0.4, in front of 0.6.
    for (float clearDepth : {0.4f, 0.6f}) {
        Pass pass(nullptr, nullptr, &frameBuffer, true, Vec4(0.2f, 0.4f, 0.6f, 0.8f), true,
                  clearDepth);
        RunPass(&pass, {&depthTest, &useProgram, &node.geometryState});
        EXPECT_TRUE(PixelNear(Centre(), clearDepth < 0.5f ? Rgba{{51, 102, 153, 204}}
                                                          : Rgba{{0, 255, 0, 255}}));
    }
    // Clearing nothing still sets the values a later clear would use.
    Pass none(nullptr, nullptr, &frameBuffer, false, Vec4(0.25f, 0.5f, 0.75f, 1), false, 0.25f,
              false, 3);
    RunPass(&none, {});
    EXPECT_TRUE(PixelNear(Centre(), {0, 255, 0, 255}));
    GLfloat clearValues[5] = {};
    GLint clearStencil = 0;
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearValues);
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, clearValues + 4);
    glGetIntegerv(GL_STENCIL_CLEAR_VALUE, &clearStencil);
    EXPECT_EQ(std::vector<GLfloat>(clearValues, clearValues + 5),
              (std::vector<GLfloat>{0.25f, 0.5f, 0.75f, 1, 0.25f}));
    EXPECT_EQ(clearStencil, 3);
}

TEST_F(RenderPass, RenderSkipsDisabledPassesAndDrawsIntoTheDefaultTarget) {
    renderer.SetDefaultRenderTarget(&target);
    Pass red(nullptr, nullptr, nullptr, true, Vec4(1, 0, 0, 1));
    Pass green(nullptr, nullptr, nullptr, true, Vec4(0, 1, 0, 1));
    green.enabled = false;
    Technique technique;
    technique.passes.Add(&red);
    technique.passes.Add(&green);
    renderer.BindTechnique(&technique);
    renderer.Render();
    EXPECT_TRUE(PixelNear(Centre(), {255, 0, 0, 255}));
    renderer.SetDefaultRenderTarget(nullptr);
    green.enabled = true;
    renderer.Render();
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);
}

namespace {
struct BlendCase {
    unsigned int srcRGB, dstRGB, srcAlpha, dstAlpha, equationRGB, equationAlpha;
    Vec4 constant, source, destination;
    Rgba expected;
};
}  // namespace

using Blending = GLTest;

TEST_F(Blending, FactorsAndEquationsCombineSourceAndTarget) {
    using B = BlendState;
    const unsigned int one = B::BF_ONE, zero = B::BF_ZERO;
    const Vec4 white(1, 1, 1, 1);
    const BlendCase cases[] = {
        {one, one, one, one, B::BE_ADD, B::BE_ADD, {}, Vec4(0.2f, 0.2f, 0.6f, 0.4f),
         Vec4(0.2f, 0.4f, 0, 0.2f), {102, 153, 153, 153}},
        // No GLES2 equation: GL refuses it and keeps adding.
        {one, zero, one, zero, B::BE_MIN, B::BE_MIN, {}, Vec4(0.2f, 0.4f, 0.6f, 1), white,
         {51, 102, 153, 255}},
        {one, one, one, one, B::BE_SUBTRACT, B::BE_REV_SUBTRACT, {}, Vec4(0.6f, 0.6f, 0.6f, 0.2f),
         Vec4(0.2f, 0.4f, 0, 0.6f), {102, 51, 153, 102}},
        {B::BF_CONSTANT_COLOR, zero, B::BF_CONSTANT_ALPHA, zero, B::BE_ADD, B::BE_ADD,
         Vec4(0.5f, 0.25f, 1, 0.5f), Vec4(0.8f, 0.8f, 0.4f, 1), white, {102, 51, 102, 128}},
        // Alpha factors apart from colour factors.
        {one, one, zero, one, B::BE_ADD, B::BE_ADD, {}, Vec4(0.2f, 0.4f, 0.6f, 0.6f),
         Vec4(0.2f, 0.2f, 0.2f, 0.2f), {102, 153, 204, 51}},
    };
    auto program = ColourProgram("uniform vec4 color;\n", "color");
    ProgramState useProgram(program.get());
    Vec4 source;
    Uniform colorValue("color");
    colorValue.SetValue(Uniform::ET_Vec4, 1, &source.x, true);
    UniformState setColour(&colorValue);
    GenericState on(GenericState::GS_Blend, true), off(GenericState::GS_Blend, false);
    for (const BlendCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "row " << &c - cases);
        BlendState blend;
        blend.srcRGB = c.srcRGB;
        blend.dstRGB = c.dstRGB;
        blend.srcAlpha = c.srcAlpha;
        blend.dstAlpha = c.dstAlpha;
        blend.equationRGB = c.equationRGB;
        blend.equationAlpha = c.equationAlpha;
        blend.color = c.constant;
        source = c.source;
        Draw(c.destination, {&on, &blend, &useProgram, &setColour});
        EXPECT_TRUE(PixelNear(Centre(), c.expected, 2));
        EXPECT_EQ(glGetError(), GLenum(c.equationRGB == B::BE_MIN ? GL_INVALID_ENUM : GL_NO_ERROR));
    }
    // Switched off, the adding blend function left behind no longer counts.
    source = Vec4(0.2f, 0.2f, 0.2f, 1);
    Draw(Vec4(0.4f, 0.4f, 0.4f, 1), {&on, &off, &useProgram, &setColour});
    EXPECT_TRUE(PixelNear(Centre(), {51, 51, 51, 255}));
}

namespace {
struct SampleCase {
    unsigned int wrapS, wrapT, magFilter;
    float s, t;
    Rgba expected;
};
}  // namespace

using TextureSampling = GLTest;

TEST_F(TextureSampling, EveryWrapAndFilterMode) {
    using S = TextureSamplerState;
    const unsigned int repeat = S::WM_REPEAT, clamp = S::WM_CLAMP_TO_EDGE;
    const SampleCase cases[] = {
        {repeat, clamp, S::FM_NEAREST, 1.25f, 0.25f, {255, 0, 0, 255}},
        {clamp, repeat, S::FM_NEAREST, 1.25f, 0.25f, {0, 255, 0, 255}},
        {clamp, repeat, S::FM_NEAREST, 0.25f, 1.25f, {255, 0, 0, 255}},
        {repeat, clamp, S::FM_NEAREST, 0.25f, 1.25f, {0, 0, 255, 255}},
        // 0.45 lies 40% of the way from the red texel centre to the green one.
        {clamp, clamp, S::FM_LINEAR, 0.45f, 0.25f, {153, 102, 0, 255}},
    };
    // 2x2: bottom row red, green; top row blue, white.
    Texture2D checker;
    checker.format = Texture::TF_RGBA8;
    checker.width = checker.height = 2;
    checker.mipmapped = true;
    checker.pixels =
        new unsigned char[16]{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    checker.Init();
    GLuint checkerName = static_cast<GLES2TextureInitializer*>(checker.initializer)->textureName;
    GLint minFilter = 0;
    // Unit 3 through sampler 3, which the program sets at link time; nothing on unit 0.
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, checkerName);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);
    auto program = ColourProgram("uniform sampler2D Vomra_un_TextureSampler3;\nuniform vec2 st;\n",
                                 "texture2D(Vomra_un_TextureSampler3, st)");
    ProgramState useProgram(program.get());
    TextureState bind(&checker, 3);
    float st[2];
    Uniform coord("st");
    coord.SetValue(Uniform::ET_Vec2, 1, st, true);
    UniformState setCoord(&coord);
    for (const SampleCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "row " << &c - cases);
        TextureSamplerState sampler(&checker, 3);
        sampler.wrapS = c.wrapS;
        sampler.wrapT = c.wrapT;
        sampler.magFilter = c.magFilter;
        sampler.minFilter = 1 - c.magFilter;  // magnified: must not count
        st[0] = c.s;
        st[1] = c.t;
        Draw(Vec4(), {&useProgram, &bind, &sampler, &setCoord});
        EXPECT_TRUE(PixelNear(Centre(), c.expected, 2));
    }
    // Mipmapped: the last sampler's nearest minification with nearest mipmaps.
    glActiveTexture(GL_TEXTURE3);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_NEAREST_MIPMAP_NEAREST);
}

namespace {
struct UniformCase {
    const char* declaration;
    const char* colour;
    Uniform::ElementType type;
    unsigned int count;
    std::vector<float> values;  // converted for the integer types
    Rgba expected;
};
}  // namespace

using UniformUpload = GLTest;

TEST_F(UniformUpload, EveryElementTypeReachesTheShader) {
    using U = Uniform;
    const UniformCase cases[] = {
        {"int u", "vec4(float(u) / 255.0, 0, 0, 1)", U::ET_Int, 1, {51}, {51, 0, 0, 255}},
        {"ivec2 u", "vec4(vec2(u) / 255.0, 0, 1)", U::ET_IVec2, 1, {51, 102}, {51, 102, 0, 255}},
        {"ivec3 u", "vec4(vec3(u) / 255.0, 1)", U::ET_IVec3, 1, {51, 102, 153},
         {51, 102, 153, 255}},
        {"ivec4 u", "vec4(u) / 255.0", U::ET_IVec4, 1, {51, 102, 153, 204}, {51, 102, 153, 204}},
        {"float u", "vec4(u, 0, 0, 1)", U::ET_Float, 1, {0.2f}, {51, 0, 0, 255}},
        {"vec2 u", "vec4(u, 0, 1)", U::ET_Vec2, 1, {0.2f, 0.4f}, {51, 102, 0, 255}},
        {"vec3 u", "vec4(u, 1)", U::ET_Vec3, 1, {0.2f, 0.4f, 0.6f}, {51, 102, 153, 255}},
        {"vec4 u", "u", U::ET_Vec4, 1, {0.2f, 0.4f, 0.6f, 0.8f}, {51, 102, 153, 204}},
        {"vec4 u[2]", "u[1]", U::ET_Vec4, 2, {1, 1, 1, 1, 0.2f, 0.4f, 0.6f, 0.8f},
         {51, 102, 153, 204}},
        // Column-major: a transposed upload would swap channels.
        {"mat2 u", "vec4(u[0][0], u[0][1], u[1][0], u[1][1])", U::ET_Mat2, 1,
         {0.2f, 0.4f, 0.6f, 0.8f}, {51, 102, 153, 204}},
        {"mat3 u", "vec4(u[0][1], u[1][2], u[2][0], 1)", U::ET_Mat3, 1,
         {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f}, {51, 153, 179, 255}},
        {"mat4 u", "vec4(u[0][3], u[1][2], u[3][0], u[2][1])", U::ET_Mat4, 1,
         {0, 0.05f, 0.1f, 0.15f, 0.2f, 0.25f, 0.3f, 0.35f, 0.4f, 0.45f, 0.5f, 0.55f, 0.6f, 0.65f,
          0.7f, 0.75f}, {38, 77, 153, 115}},
        {"mat4 u", "vec4(u[3].xyz, 1)", U::ET_WorldTransform, 1, {}, {51, 102, 153, 255}},
        // Uploads nothing: a fresh program's matrix stays zero.
        {"mat4 u", "vec4(u[3].xyz, 1)", U::ET_LocalTransform, 1, {}, {0, 0, 0, 255}},
    };
    SceneNode spatial;
    spatial.world.LoadTranslate(0.2f, 0.4f, 0.6f);
    for (UniformCase c : cases) {
        SCOPED_TRACE(c.declaration);
        auto program = ColourProgram(("uniform " + std::string(c.declaration) + ";\n").c_str(),
                                     c.colour);
        ProgramState useProgram(program.get());
        Uniform uniform("u");
        std::vector<int> ints(c.values.begin(), c.values.end());
        if (c.type == U::ET_WorldTransform)
            uniform.AttachWorldTransform(&spatial);
        else if (c.type == U::ET_LocalTransform)
            uniform.AttachLocalTransform(&spatial);
        else if (c.type <= U::ET_IVec4)
            uniform.SetValue(c.type, c.count, ints.data(), true);
        else
            uniform.SetValue(c.type, c.count, c.values.data(), true);
        UniformState state(&uniform);
        Draw(Vec4(), {&useProgram, &state});
        EXPECT_TRUE(PixelNear(Centre(), c.expected));
    }
}

using FixedUniforms = GLTest;

// Products of two uniforms per channel: either one missing or wrong shows.
TEST_F(FixedUniforms, NodeCameraAndViewportUniformsReachTheShader) {
    auto program = ColourProgram(
        "uniform mat4 Vomra_un_Model, Vomra_un_PrevModel, Vomra_un_View, Vomra_un_PrevView,\n"
        "    Vomra_un_Projection;\nuniform mat3 Vomra_un_ModelIT;\n"
        "uniform ivec2 Vomra_un_ViewportSize;\n",
        "vec4(Vomra_un_Model[3].x * Vomra_un_ModelIT[1][1],\n"
        "     -Vomra_un_View[3].x * Vomra_un_Projection[0][0],\n"
        "     Vomra_un_PrevModel[3].z * -Vomra_un_PrevView[3].y,\n"
        "     float(Vomra_un_ViewportSize.x + Vomra_un_ViewportSize.y) / 255.0)");
    ProgramState useProgram(program.get());
    node.world.LoadTranslate(0.5f, 0, 0);
    node.normalMatrix.LoadScale(1, 0.8f, 1);
    node.prevWorld.LoadTranslate(0, 0, 0.8f);
    SceneNode cameraNode;
    cameraNode.world.LoadTranslate(0.6f, 0, 0);
    cameraNode.prevWorld.LoadTranslate(0, 0.5f, 0);
    renderer.AssignProjectionMatrix(Mat4().LoadScale(0.5f, 0.5f, 0.5f));
    node.Attach(quad);
    // A camera node without a camera: identity projection, its inverse world as view.
    Pass pass(nullptr, &cameraNode, &target, true, Vec4());
    RunPass(&pass, {&useProgram, &node.geometryState});
    EXPECT_TRUE(PixelNear(Centre(), {102, 153, 102, 32}));
}

TEST_F(FixedUniforms, TextureMatricesAndMaterialAreSentWithTheProgramAndWhenTheyChange) {
    auto program = ColourProgram(
        "uniform mat4 Vomra_un_TextureMatrix[2];\n"
        "uniform vec4 Vomra_un_MaterialAmbient, Vomra_un_MaterialDiffuse,\n"
        "    Vomra_un_MaterialSpecular, Vomra_un_MaterialEmission, Vomra_un_MaterialBase;\n"
        "uniform float Vomra_un_MaterialShininess;\n",
        "vec4(Vomra_un_TextureMatrix[0][3].x, Vomra_un_TextureMatrix[1][3].x,\n"
        "     (Vomra_un_MaterialAmbient.r + Vomra_un_MaterialDiffuse.r) *\n"
        "         Vomra_un_MaterialBase.b,\n"
        "     (Vomra_un_MaterialSpecular.g + Vomra_un_MaterialEmission.g) *\n"
        "         Vomra_un_MaterialShininess)");
    ProgramState useProgram(program.get());
    // Bound before the program: sent with it as one array; after it: to its own slot at once.
    colour.textureMatrix.LoadTranslate(0.2f, 0, 0);
    TextureState unit0(&colour, 0), unit1(&colour, 1);
    MaterialState material, other;
    material.ambient = Vec4(0.1f, 0, 0, 0);
    material.diffuse = Vec4(0.3f, 0, 0, 0);
    material.specular = Vec4(0, 0.2f, 0, 0);
    material.emission = Vec4(0, 0.4f, 0, 0);
    material.base = other.base = Vec4(0, 0, 0.5f, 0);
    material.shininess = 0.5f;
    Draw(Vec4(), {&unit0, &unit1, &material, &useProgram});
    EXPECT_TRUE(PixelNear(Centre(), {51, 51, 51, 77}));
    colour.textureMatrix.LoadTranslate(0.6f, 0, 0);
    // Defaults: ambient 0.2 + diffuse 0.8, no specular or emission.
    Draw(Vec4(), {&unit1, &other});
    EXPECT_TRUE(PixelNear(Centre(), {51, 153, 128, 0}));
}
