// GL resource initializers under a real context: shader failures, unknown
// texture formats, the renderer's start-up report, and GL objects given back
// and made again.
#include <GLES2/gl2.h>

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/Exception.h"
#include "engine/RenderBuffer.h"
#include "engine/ResourceManager.h"
#include "render/GenericState.h"
#include "render/TextureState.h"
#include "render/gles2/GLES2FrameBufferInitializer.h"
#include "render/gles2/GLES2MeshInitializer.h"
#include "render/gles2/GLES2ProgramInitializer.h"
#include "render/gles2/GLES2RenderBufferInitializer.h"
#include "render/gles2/GLES2TextureInitializer.h"
#include "support/GLTestContext.h"

using namespace testsupport;

namespace {

const char* const kGreenFragmentShader =
    "precision mediump float;\nvoid main() { gl_FragColor = vec4(0, 1, 0, 1); }\n";

struct FailureCase {
    const char* vertex;
    const char* fragment;
    const char* output;  // pattern of what Init prints
    const char* notPrinted;
};

// A texture type no class of the engine has.
class UnknownTypeTexture : public Texture {
public:
    unsigned int GetTextureType() const override { return TT_Unknown; }
    ResourceInitializer* CreateInitializer(ResourceManager* m) override {
        return m->CreateInitializer(static_cast<Texture*>(this));
    }
};

}  // namespace

using GLProgramInit = GLTest;

TEST_F(GLProgramInit, FailurePrintsItsLogDrawsNothingAndTheNextInitStartsOver) {
    const char* brokenVertex = "void main() { gl_Position = nowhere; }\n";
    const FailureCase cases[] = {
        // Once the fragment shader failed, the vertex shader is not compiled.
        {brokenVertex,
         "precision mediump float;\nvoid main() { gl_FragColor = undefinedColour; }\n",
         "^Failed to compile fragment shader:\nShader 0x[0-9a-f]+ log:\n[\\s\\S]*undefinedColour",
         "vertex"},
        {brokenVertex, kGreenFragmentShader,
         "^Failed to compile vertex shader:\nShader 0x[0-9a-f]+ log:\n[\\s\\S]*nowhere",
         "fragment"},
        {kPassThroughVertexShader,
         "precision mediump float;\nvarying vec4 gone;\nvoid main() { gl_FragColor = gone; }\n",
         "^Failed to link program:\nProgram 0x[0-9a-f]+ log:\n[\\s\\S]*gone", "compile"},
        // A missing source fails like an empty one.
        {kPassThroughVertexShader, nullptr, "^Failed to compile fragment shader:\n", "vertex"},
    };
    auto good = MakeProgram(kPassThroughVertexShader, kGreenFragmentShader);
    ProgramState useGood(good.get());
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.output);
        CaptureFd out(1);
        auto program = MakeProgram(c.vertex, c.fragment);
        std::string text = out.Stop();
        EXPECT_FALSE(program->initializer->initialized);
        EXPECT_TRUE(std::regex_search(text, std::regex(c.output))) << text;
        EXPECT_EQ(text.find(c.notPrinted), std::string::npos) << text;
        ProgramState useBad(program.get());
        Draw(Vec4(0, 0, 1, 1), {&useGood, &useBad});
        EXPECT_TRUE(PixelNear(Centre(), {0, 0, 255, 255}, 0));
        // An error left pending by earlier calls must not fail the retry.
        program->SetSources(kPassThroughVertexShader, kGreenFragmentShader);
        glEnable(0x1234);
        CaptureFd retry(1);
        program->Init();
        EXPECT_EQ(retry.Stop(), "");
        EXPECT_TRUE(program->initializer->initialized);
    }
    // Only the names the shader declares get a location; attributes sit where they were bound.
    auto two = MakeProgram("uniform mat4 Vomra_un_Projection, Vomra_un_Model;\n"
                           "attribute vec4 Vomra_va_Normal, Vomra_va_Location;\n"
                           "void main() { gl_Position = Vomra_un_Projection * Vomra_un_Model *\n"
                           "    (Vomra_va_Location + Vomra_va_Normal); }\n",
                           kGreenFragmentShader);
    auto* init = static_cast<GLES2ProgramInitializer*>(two->initializer);
    for (unsigned int i = 0; i < GLES2ProgramInitializer::UN_Count; ++i)
        EXPECT_EQ(init->uniformLocations[i] != -1, i == GLES2ProgramInitializer::UN_Projection ||
                                                       i == GLES2ProgramInitializer::UN_Model)
            << GLES2ProgramInitializer::UniformNames[i];
    EXPECT_EQ(init->GetVertexAttributeLocation("Vomra_va_Normal"), 1);
}

using GLTextureInit = GLTest;

TEST_F(GLTextureInit, UnknownFormatOrTypeThrowsAnException) {
    Texture2D unknownFormat, pastTheTable;
    unknownFormat.format = Texture::TF_Unknown;
    pastTheTable.format = 200;
    UnknownTypeTexture unknownType;
    for (Texture* texture : std::vector<Texture*>{&unknownFormat, &pastTheTable, &unknownType}) {
        CaptureFd err(2);
        std::string message;
        try {
            texture->Init();
        } catch (Exception* e) {
            message = e->GetMessage();
            delete e;
        }
        EXPECT_EQ(err.Stop(), "Texture internal format unknown.\n");
        EXPECT_EQ(message, "Texture internal format unknown.");
        ASSERT_NE(texture->initializer, nullptr);
        EXPECT_FALSE(texture->initializer->initialized);
        EXPECT_EQ(static_cast<GLES2TextureInitializer*>(texture->initializer)->textureName, 0u);
    }
}

using GLRendererInit = GLTest;

TEST_F(GLRendererInit, ReportsTheDriverRefusingProgramPointSize) {
    CaptureFd out(1);
    renderer.Init();
    // Mesa's ES2 contexts do not know the desktop enum 0x8642. The second line
    // starts with a form feed that swallowed an "f".
    EXPECT_EQ(out.Stop(), "GL error: GL_INVALID_ENUM (0x500)\n"
                          "\f" "rom glEnable(GL_VERTEX_PROGRAM_POINT_SIZE);\n");
}

using GLTeardown = GLTest;

// Deinit gives every GL object back and Init makes them again from the CPU
// side, so a changed resource draws as it is now.
TEST_F(GLTeardown, MeshesAndTexturesAreDeletedAndMadeAgain) {
    Mesh* mesh = Keep(MakeMesh({FullQuad()}, 0));  // an indexed strip: both kinds of buffer
    mesh->SetTriangleArrays(
        MakeArrays({Arr<unsigned short>(AttributeArray::at_TrianleStrip, 1, {0, 1, 2, 3})}), 1);
    mesh->stripLengths =
        Fill(new AttributeArray(), Arr<unsigned int>(AttributeArray::at_StripLengths, 1, {4}));
    mesh->UpdateBatches();
    Texture2D picture;
    picture.format = Texture::TF_RGBA8;
    picture.width = picture.height = 1;
    picture.pixels = new unsigned char[4]{255, 0, 0, 255};
    picture.Init();
    auto program = ColourProgram("uniform sampler2D Vomra_un_TextureSampler0;\n",
                                 "texture2D(Vomra_un_TextureSampler0, vec2(0.5))");
    ProgramState useProgram(program.get());
    TextureState bind(&picture, 0);
    Draw(Vec4(), {&useProgram, &bind}, mesh);
    EXPECT_TRUE(PixelNear(Centre(), {255, 0, 0, 255}));
    auto* buffers = static_cast<GLES2MeshInitializer*>(mesh->initializer);
    auto* texture = static_cast<GLES2TextureInitializer*>(picture.initializer);
    const GLuint names[3] = {buffers->vertexBuffers[0], buffers->indexBuffers[0],
                             texture->textureName};
    EXPECT_TRUE(glIsBuffer(names[0]) && glIsBuffer(names[1]) && glIsTexture(names[2]));
    for (int twice = 0; twice < 2; ++twice) {  // a second Deinit does nothing
        mesh->initializer->Deinit();
        picture.initializer->Deinit();
    }
    EXPECT_FALSE(glIsBuffer(names[0]) || glIsBuffer(names[1]) || glIsTexture(names[2]));
    EXPECT_FALSE(mesh->initializer->initialized || picture.initializer->initialized);
    EXPECT_TRUE(buffers->vertexBuffers == nullptr && buffers->indexBuffers == nullptr);
    picture.pixels[1] = 255;
    picture.Init();
    Draw(Vec4(), {&useProgram, &bind}, mesh);  // the mesh is made again by drawing it
    EXPECT_TRUE(PixelNear(Centre(), {255, 255, 0, 255}));
    EXPECT_TRUE(mesh->initializer->initialized);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// As a target resizes: its depth buffer, colour texture and framebuffer are
// given back and made again at the new size, in that order.
TEST_F(GLTeardown, AFramebufferIsRebuiltWithItsAttachmentsAtANewSize) {
    Texture2D picture;
    picture.format = Texture::TF_RGBA8;
    RenderBuffer depth;
    FrameBuffer frameBuffer;
    frameBuffer.Attach(FrameBuffer::A_Color0, &picture);
    frameBuffer.Attach(FrameBuffer::A_Depth, &depth);
    auto program = ColourProgram("", "vec4(0, 1, 0, 1)");
    ProgramState useProgram(program.get());
    GenericState depthTest(GenericState::GS_DepthTest, true);
    node.Attach(quad);
    std::vector<GLuint> names;
    for (unsigned int size : {8u, 24u}) {
        SCOPED_TRACE(size);
        depth.width = depth.height = picture.width = picture.height = size;
        if (names.empty()) {
            frameBuffer.Init();  // makes its attachments first
        } else {
            for (Resource* r : std::vector<Resource*>{&depth, &picture, &frameBuffer})
                r->initializer->Deinit();
            EXPECT_FALSE(glIsFramebuffer(names[0]) || glIsTexture(names[1]) ||
                         glIsRenderbuffer(names[2]));
            for (Resource* r : std::vector<Resource*>{&depth, &picture, &frameBuffer})
                r->initializer->Init();
        }
        auto* made = static_cast<GLES2FrameBufferInitializer*>(frameBuffer.initializer);
        names = {made->framebufferName,
                 static_cast<GLES2TextureInitializer*>(picture.initializer)->textureName,
                 static_cast<GLES2RenderBufferInitializer*>(depth.initializer)->renderbufferName};
        glBindFramebuffer(GL_FRAMEBUFFER, names[0]);
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
        GLint width = 0;
        glBindRenderbuffer(GL_RENDERBUFFER, names[2]);
        glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &width);
        EXPECT_EQ(width, GLint(size));
        // Cleared nearer than the quad, then farther: the depth buffer decides.
        renderer.SetViewport(0, 0, size, size);
        for (float clearDepth : {0.4f, 0.6f}) {
            Pass pass(nullptr, nullptr, &frameBuffer, true, Vec4(0, 0, 1, 1), true, clearDepth);
            RunPass(&pass, {&depthTest, &useProgram, &node.geometryState});
            unsigned char p[4] = {};
            glBindFramebuffer(GL_FRAMEBUFFER, names[0]);
            glReadPixels(GLint(size) - 1, GLint(size) - 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
            EXPECT_EQ(std::vector<int>(p, p + 4), clearDepth < 0.5f
                                                      ? std::vector<int>({0, 0, 255, 255})
                                                      : std::vector<int>({0, 255, 0, 255}));
        }
    }
    renderer.SetViewport(0, 0, kSize, kSize);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
