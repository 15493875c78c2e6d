// GL resource initializers under a real context: shader failures, unknown
// texture formats, and the renderer's start-up report.
#include <GLES2/gl2.h>

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/Exception.h"
#include "engine/ResourceManager.h"
#include "render/gles2/GLES2ProgramInitializer.h"
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
