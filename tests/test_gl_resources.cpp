// GL resource initializers under a real OpenGL ES 2.0 context: programs and
// the fixed shader names, mesh buffers, textures, framebuffers,
// renderbuffers, the resource manager and the renderer's start-up report.
#include <GLES2/gl2.h>

#include <cstdio>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "engine/Exception.h"
#include "engine/FrameBuffer.h"
#include "engine/Mesh.h"
#include "engine/Program.h"
#include "engine/RenderBuffer.h"
#include "engine/Texture2D.h"
#include "render/gles2/GLES2Engine.h"
#include "render/gles2/GLES2FrameBufferInitializer.h"
#include "render/gles2/GLES2MeshInitializer.h"
#include "render/gles2/GLES2ProgramInitializer.h"
#include "render/gles2/GLES2RenderBufferInitializer.h"
#include "render/gles2/GLES2TextureInitializer.h"
#include "support/GLTestContext.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

GLES2ProgramInitializer* ProgramInit(Program* p) {
    return static_cast<GLES2ProgramInitializer*>(p->initializer);
}

const char* const kRedFragmentShader =
    "precision mediump float;\n"
    "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n";

const char* const kBrokenVertexShader = "void main() { gl_Position = nowhere; }\n";

bool Matches(const std::string& text, const char* pattern) {
    return std::regex_search(text, std::regex(pattern));
}

}  // namespace

using GLProgramInit = GLTest;

TEST_F(GLProgramInit, FragmentFailurePrintsItsLogAndCompilesNoVertexShader) {
    CaptureFd out(1);
    auto program = MakeProgram(kBrokenVertexShader,
                               "precision mediump float;\n"
                               "void main() { gl_FragColor = undefinedColour; }\n");
    std::string text = out.Stop();
    ASSERT_NE(program->initializer, nullptr);
    EXPECT_FALSE(program->initializer->initialized);
    EXPECT_TRUE(Matches(text, "^Failed to compile fragment shader:\nShader 0x[0-9a-f]+ log:\n"
                              "[\\s\\S]*undefinedColour"))
        << text;
    // The broken vertex shader would have been reported had it been compiled.
    EXPECT_EQ(text.find("vertex"), std::string::npos) << text;
    EXPECT_EQ(ProgramInit(program.get())->programName, 0u);
    EXPECT_EQ(ProgramInit(program.get())->GetUniformLocation("Vomra_un_Model"), -1);
}

TEST_F(GLProgramInit, VertexFailureFollowsASuccessfulFragmentShader) {
    CaptureFd out(1);
    auto program = MakeProgram(kBrokenVertexShader, kRedFragmentShader);
    std::string text = out.Stop();
    EXPECT_FALSE(program->initializer->initialized);
    EXPECT_TRUE(Matches(text, "^Failed to compile vertex shader:\nShader 0x[0-9a-f]+ log:\n"
                              "[\\s\\S]*nowhere"))
        << text;
    EXPECT_EQ(text.find("fragment"), std::string::npos) << text;
}

TEST_F(GLProgramInit, LinkFailurePrintsTheProgramLog) {
    CaptureFd out(1);
    // The fragment shader reads a varying no vertex shader writes.
    auto program = MakeProgram(kPassThroughVertexShader,
                               "precision mediump float;\n"
                               "varying vec4 missingVarying;\n"
                               "void main() { gl_FragColor = missingVarying; }\n");
    std::string text = out.Stop();
    EXPECT_FALSE(program->initializer->initialized);
    EXPECT_TRUE(Matches(text, "^Failed to link program:\nProgram 0x[0-9a-f]+ log:\n"
                              "[\\s\\S]*missingVarying"))
        << text;
}

TEST_F(GLProgramInit, NextInitStartsOverAfterAFailure) {
    CaptureFd out(1);
    auto program = MakeProgram(kBrokenVertexShader, kRedFragmentShader);
    ASSERT_FALSE(program->initializer->initialized);
    program->SetSources(kPassThroughVertexShader, kRedFragmentShader);
    program->Init();
    out.Stop();
    EXPECT_TRUE(program->initializer->initialized);
    EXPECT_NE(ProgramInit(program.get())->programName, 0u);
}

TEST_F(GLProgramInit, MissingSourceFailsLikeAnEmptyShader) {
    CaptureFd out(1);
    auto program = MakeProgram(kPassThroughVertexShader, nullptr);
    std::string text = out.Stop();
    EXPECT_FALSE(program->initializer->initialized);
    EXPECT_EQ(text.rfind("Failed to compile fragment shader:\n", 0), 0u) << text;
}

TEST_F(GLProgramInit, StaleErrorFromEarlierCallsDoesNotFailTheLink) {
    glEnable(0x1234);  // leaves GL_INVALID_ENUM pending
    CaptureFd out(1);
    auto program = MakeProgram(kPassThroughVertexShader, kRedFragmentShader);
    std::string text = out.Stop();
    EXPECT_TRUE(program->initializer->initialized);
    EXPECT_EQ(text.find("GL error"), std::string::npos) << text;
}

TEST_F(GLProgramInit, TwoDeclaredNamesLeaveTheOther44Unset) {
    auto program = MakeProgram(
        "uniform mat4 Vomra_un_Projection;\n"
        "uniform mat4 Vomra_un_Model;\n"
        "attribute vec4 Vomra_va_Location;\n"
        "void main() { gl_Position = Vomra_un_Projection * Vomra_un_Model * Vomra_va_Location; }\n",
        kRedFragmentShader);
    ASSERT_TRUE(program->initializer->initialized);
    const GLint* loc = ProgramInit(program.get())->uniformLocations;
    EXPECT_NE(loc[GLES2ProgramInitializer::UN_Projection], -1);
    EXPECT_NE(loc[GLES2ProgramInitializer::UN_Model], -1);
    int unset = 0;
    for (unsigned int i = 0; i < GLES2ProgramInitializer::UN_Count; ++i)
        if (loc[i] == -1) ++unset;
    EXPECT_EQ(unset, 44);
}

TEST_F(GLProgramInit, FixedAttributeNamesAreBoundToTheirLocations) {
    auto program = MakeProgram(
        "attribute vec4 Vomra_va_Location;\n"
        "attribute vec4 Vomra_va_Normal;\n"
        "attribute vec4 Vomra_va_TexCoord;\n"
        "attribute vec4 Vomra_va_Color;\n"
        "attribute vec4 Vomra_va_BoneIndex;\n"
        "attribute vec4 Vomra_va_BoneWeight;\n"
        "attribute vec4 Vomra_va_Generic0;\n"
        "attribute vec4 Vomra_va_Generic1;\n"
        "void main() { gl_Position = Vomra_va_Location + Vomra_va_Normal + Vomra_va_TexCoord +\n"
        "    Vomra_va_Color + Vomra_va_BoneIndex + Vomra_va_BoneWeight + Vomra_va_Generic0 +\n"
        "    Vomra_va_Generic1; }\n",
        kRedFragmentShader);
    ASSERT_TRUE(program->initializer->initialized);
    for (unsigned int i = 0; i < GLES2ProgramInitializer::kVertexAttribCount; ++i)
        EXPECT_EQ(ProgramInit(program.get())->GetVertexAttributeLocation(
                      GLES2ProgramInitializer::VertexAttribNames[i]),
                  GLint(i))
            << GLES2ProgramInitializer::VertexAttribNames[i];
}

TEST_F(GLProgramInit, SamplerThreeIsSetToUnitThree) {
    auto program = MakeProgram(kPassThroughVertexShader,
                               "precision mediump float;\n"
                               "uniform sampler2D Vomra_un_TextureSampler3;\n"
                               "void main() {\n"
                               "  gl_FragColor = texture2D(Vomra_un_TextureSampler3, vec2(0.5));\n"
                               "}\n");
    ASSERT_TRUE(program->initializer->initialized);
    GLES2ProgramInitializer* init = ProgramInit(program.get());
    GLint location = init->uniformLocations[GLES2ProgramInitializer::UN_TextureSampler0 + 3];
    ASSERT_NE(location, -1);
    GLint unit = -1;
    glGetUniformiv(init->programName, location, &unit);
    EXPECT_EQ(unit, 3);
}

TEST_F(GLProgramInit, DeinitDeletesTheProgramAndForgetsLocations) {
    auto program = MakeProgram(kPassThroughVertexShader, kRedFragmentShader);
    GLES2ProgramInitializer* init = ProgramInit(program.get());
    GLuint name = init->programName;
    ASSERT_TRUE(glIsProgram(name));
    init->Deinit();
    glUseProgram(0);  // a program in use is only flagged for deletion
    EXPECT_FALSE(init->initialized);
    EXPECT_FALSE(glIsProgram(name));
    EXPECT_EQ(init->GetVertexAttributeLocation("Vomra_va_Location"), -1);
}

using GLMeshInit = GLTest;

TEST_F(GLMeshInit, InitTwiceCreatesBuffersOnce) {
    auto mesh = MakeMesh({FullQuad(), Floats(AttributeArray::at_Normal, 3, std::vector<float>(12))},
                         4);
    mesh->SetTriangleArrays(MakeArrays({Shorts(AttributeArray::at_TrianleStrip, 1, {0, 1, 2, 3})}),
                            1);
    mesh->Init();
    auto* init = static_cast<GLES2MeshInitializer*>(mesh->initializer);
    ASSERT_TRUE(init->initialized);
    GLuint* vertexBuffers = init->vertexBuffers;
    GLuint names[3] = {init->vertexBuffers[0], init->vertexBuffers[1], init->indexBuffers[0]};
    mesh->Init();
    init->Init();
    EXPECT_EQ(init->vertexBuffers, vertexBuffers);
    EXPECT_EQ(init->vertexBuffers[0], names[0]);
    EXPECT_EQ(init->vertexBuffers[1], names[1]);
    EXPECT_EQ(init->indexBuffers[0], names[2]);
    for (GLuint name : names) EXPECT_TRUE(glIsBuffer(name));
    init->Deinit();
}

TEST_F(GLMeshInit, StripLengthArrayGetsNoIndexBuffer) {
    auto mesh = MakeMesh({FullQuad()}, 4);
    mesh->SetTriangleArrays(MakeArrays({Shorts(AttributeArray::at_TrianleStrip, 1, {0, 1, 2, 3}),
                                        Ints(AttributeArray::at_StripLengths, 1, {4})}),
                            2);
    mesh->Init();
    auto* init = static_cast<GLES2MeshInitializer*>(mesh->initializer);
    ASSERT_TRUE(init->initialized);
    EXPECT_TRUE(glIsBuffer(init->indexBuffers[0]));
    EXPECT_EQ(init->indexBuffers[1], 0u);
    EXPECT_EQ(init->indexInfos[0].count, 4u);
    EXPECT_EQ(init->indexInfos[0].maxIndex, 3u);
    init->Deinit();
}

TEST_F(GLMeshInit, MeshWithoutVertexArraysStaysUninitialisedAndSilent) {
    Mesh mesh;
    CaptureFd out(1);
    mesh.Init();
    EXPECT_EQ(out.Stop(), "");
    ASSERT_NE(mesh.initializer, nullptr);
    EXPECT_FALSE(mesh.initializer->initialized);
    EXPECT_EQ(static_cast<GLES2MeshInitializer*>(mesh.initializer)->vertexBuffers, nullptr);
}

TEST_F(GLMeshInit, DeinitDeletesEveryBuffer) {
    auto mesh = MakeMesh({FullQuad()}, 4);
    mesh->SetTriangleArrays(MakeArrays({Shorts(AttributeArray::at_Triangle, 1, {0, 1, 2})}), 1);
    mesh->Init();
    auto* init = static_cast<GLES2MeshInitializer*>(mesh->initializer);
    GLuint vertexBuffer = init->vertexBuffers[0];
    GLuint indexBuffer = init->indexBuffers[0];
    init->Deinit();
    EXPECT_FALSE(init->initialized);
    EXPECT_FALSE(glIsBuffer(vertexBuffer));
    EXPECT_FALSE(glIsBuffer(indexBuffer));
    EXPECT_EQ(init->vertexBuffers, nullptr);
    EXPECT_EQ(init->indexBuffers, nullptr);
}

using GLTextureInit = GLTest;

TEST_F(GLTextureInit, RenderTargetTextureWithoutPixelsGetsStorageOfItsSize) {
    GLTarget target(8, 4);
    auto* init = static_cast<GLES2TextureInitializer*>(target.texture.initializer);
    ASSERT_TRUE(init->initialized);
    EXPECT_EQ(init->target, GLenum(GL_TEXTURE_2D));
    EXPECT_EQ(init->internalFormat, GLenum(GL_RGBA));
    EXPECT_EQ(init->format, GLenum(GL_RGBA));
    EXPECT_EQ(init->type, GLenum(GL_UNSIGNED_BYTE));
    glBindFramebuffer(GL_FRAMEBUFFER, target.FramebufferName());
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(PixelNear(target.Read(0, 0), {0, 255, 0, 255}));
    EXPECT_TRUE(PixelNear(target.Read(7, 3), {0, 255, 0, 255}));
}

TEST_F(GLTextureInit, PixelsAreUploadedAndFilteringDefaultsToLinearRepeat) {
    Texture2D texture;
    texture.format = Texture::TF_RGB8;
    texture.width = 1;
    texture.height = 1;
    texture.pixels = new unsigned char[4]{10, 20, 30, 0};
    texture.Init();
    auto* init = static_cast<GLES2TextureInitializer*>(texture.initializer);
    ASSERT_TRUE(init->initialized);
    EXPECT_EQ(init->format, GLenum(GL_RGB));
    glBindTexture(GL_TEXTURE_2D, init->textureName);
    GLint minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
    EXPECT_EQ(minFilter, GL_LINEAR);
    EXPECT_EQ(magFilter, GL_LINEAR);
    EXPECT_EQ(wrapS, GL_REPEAT);
    EXPECT_EQ(wrapT, GL_REPEAT);
    // Read back through a framebuffer: the texel is what was uploaded.
    GLuint fb = 0;
    glGenFramebuffers(1, &fb);
    glBindFramebuffer(GL_FRAMEBUFFER, fb);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, init->textureName,
                           0);
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    EXPECT_TRUE(PixelNear(ReadBound(0, 0), {10, 20, 30, 255}, 0));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fb);
    init->Deinit();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(GLTextureInit, MipmappedTextureMinifiesWithLinearMipmapNearest) {
    Texture2D texture;
    texture.format = Texture::TF_RGBA8;
    texture.mipmapped = true;
    texture.width = 4;
    texture.height = 4;
    texture.pixels = new unsigned char[64]();
    texture.Init();
    auto* init = static_cast<GLES2TextureInitializer*>(texture.initializer);
    glBindTexture(GL_TEXTURE_2D, init->textureName);
    GLint minFilter = 0, magFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(magFilter, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    init->Deinit();
}

namespace {
// A texture type no class of the engine has.
class UnknownTypeTexture : public Texture {
public:
    unsigned int GetTextureType() const override { return TT_Unknown; }
    ResourceInitializer* CreateInitializer(ResourceManager* m) override {
        return m->CreateInitializer(static_cast<Texture*>(this));
    }
};

// Runs Init and returns the message of the Exception it throws ("" if none).
std::string InitThrows(Texture* texture, std::string* err) {
    CaptureFd capture(2);
    std::string message;
    try {
        texture->Init();
    } catch (Exception* e) {
        message = e->GetMessage();
        delete e;
    }
    *err = capture.Stop();
    return message;
}
}  // namespace

TEST_F(GLTextureInit, UnknownFormatOrTypeThrowsAnException) {
    Texture2D unknownFormat;
    unknownFormat.format = Texture::TF_Unknown;
    Texture2D pastTheTable;
    pastTheTable.format = 200;
    UnknownTypeTexture unknownType;
    Texture* textures[] = {&unknownFormat, &pastTheTable, &unknownType};
    for (Texture* texture : textures) {
        std::string err;
        EXPECT_EQ(InitThrows(texture, &err), "Texture internal format unknown.");
        EXPECT_EQ(err, "Texture internal format unknown.\n");
        ASSERT_NE(texture->initializer, nullptr);
        EXPECT_FALSE(texture->initializer->initialized);
        EXPECT_EQ(static_cast<GLES2TextureInitializer*>(texture->initializer)->textureName, 0u);
    }
}

TEST_F(GLTextureInit, SixteenBitFormatsAreRefusedByGLWithoutStoppingInit) {
    Texture2D texture;
    texture.format = Texture::TF_Luminance16;
    texture.width = 2;
    texture.height = 2;
    texture.pixels = new unsigned char[8]();
    texture.Init();
    auto* init = static_cast<GLES2TextureInitializer*>(texture.initializer);
    EXPECT_TRUE(init->initialized);
    EXPECT_EQ(init->internalFormat, 0u);
    EXPECT_EQ(init->type, GLenum(GL_UNSIGNED_SHORT));
    EXPECT_NE(glGetError(), GLenum(GL_NO_ERROR));
    init->Deinit();
}

using GLFrameBufferInit = GLTest;

TEST_F(GLFrameBufferInit, InitialisesItsNeverInitialisedAttachments) {
    Texture2D colour;
    colour.format = Texture::TF_RGBA8;
    colour.width = 4;
    colour.height = 4;
    RenderBuffer depth;
    depth.width = 4;
    depth.height = 4;
    FrameBuffer frameBuffer;
    frameBuffer.Attach(FrameBuffer::A_Color0, &colour);
    frameBuffer.Attach(FrameBuffer::A_Depth, &depth);
    ASSERT_EQ(colour.initializer, nullptr);
    ASSERT_EQ(depth.initializer, nullptr);

    frameBuffer.Init();
    ASSERT_TRUE(frameBuffer.initializer->initialized);
    ASSERT_NE(colour.initializer, nullptr);
    EXPECT_TRUE(colour.initializer->initialized);
    ASSERT_NE(depth.initializer, nullptr);
    EXPECT_TRUE(depth.initializer->initialized);

    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);

    auto* fbInit = static_cast<GLES2FrameBufferInitializer*>(frameBuffer.initializer);
    glBindFramebuffer(GL_FRAMEBUFFER, fbInit->framebufferName);
    GLint colourName = 0, depthName = 0;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &colourName);
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &depthName);
    EXPECT_EQ(GLuint(colourName),
              static_cast<GLES2TextureInitializer*>(colour.initializer)->textureName);
    EXPECT_EQ(GLuint(depthName),
              static_cast<GLES2RenderBufferInitializer*>(depth.initializer)->renderbufferName);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    frameBuffer.initializer->Deinit();
    colour.initializer->Deinit();
    depth.initializer->Deinit();
}

using GLRenderBufferInit = GLTest;

TEST_F(GLRenderBufferInit, StorageHasTheFormatAndSizeAsked) {
    RenderBuffer buffer;
    buffer.width = 6;
    buffer.height = 5;
    buffer.format = RenderBuffer::RBF_RGB565;
    buffer.Init();
    auto* init = static_cast<GLES2RenderBufferInitializer*>(buffer.initializer);
    ASSERT_TRUE(init->initialized);
    glBindRenderbuffer(GL_RENDERBUFFER, init->renderbufferName);
    GLint format = 0, width = 0, height = 0;
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_INTERNAL_FORMAT, &format);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &width);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &height);
    EXPECT_EQ(format, GL_RGB565);
    EXPECT_EQ(width, 6);
    EXPECT_EQ(height, 5);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    init->Deinit();
    EXPECT_FALSE(init->initialized);
}

using GLRendererInit = GLTest;

TEST_F(GLRendererInit, ReportsTheDriverRefusingProgramPointSize) {
    GLES2Renderer renderer;
    CaptureFd out(1);
    renderer.Init();
    std::string text = out.Stop();
    // Mesa's ES2 contexts do not know the desktop enum 0x8642.
    // The second line starts with a form feed that swallowed an "f".
    EXPECT_EQ(text,
              "GL error: GL_INVALID_ENUM (0x500)\n"
              "\f" "rom glEnable(GL_VERTEX_PROGRAM_POINT_SIZE);\n");
    EXPECT_EQ(renderer.defaultFramebuffer, 0u);
    EXPECT_EQ(renderer.maxTextureUnit, 0u);
    EXPECT_GE(renderer.maxVertexAttribs, 8u);
    GLint hint = 0;
    glGetIntegerv(GL_GENERATE_MIPMAP_HINT, &hint);
    EXPECT_EQ(hint, GL_NICEST);
}

TEST_F(GLRendererInit, CheckGLErrorReportsAndReturnsTheCode) {
    GLES2Renderer renderer;
    glBindTexture(0x1234, 0);
    CaptureFd out(1);
    GLenum first = renderer.CheckGLError();
    GLenum second = renderer.CheckGLError();
    EXPECT_EQ(out.Stop(), "GL error: GL_INVALID_ENUM (0x500)\n");
    EXPECT_EQ(first, GLenum(GL_INVALID_ENUM));
    EXPECT_EQ(second, GLenum(GL_NO_ERROR));
}
