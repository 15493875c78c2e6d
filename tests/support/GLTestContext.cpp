// The GL test context: the real shell opened on the X display with a small
// do-nothing application, and the helpers GL tests share.
#include "support/GLTestContext.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/App.h"
#include "app/SDLApp.h"
#include "engine/Pass.h"
#include "engine/ResourceInitializer.h"
#include "render/RenderState.h"
#include "render/gles2/GLES2Engine.h"
#include "render/gles2/GLES2FrameBufferInitializer.h"
#include "render/gles2/GLES2Renderer.h"

namespace testsupport {

namespace {

class GLTestApp : public App {
public:
    bool OnInit(unsigned int, unsigned int) override { return true; }
    void OnDeinit() override {}
    void OnSetSize(unsigned int, unsigned int) override {}
    void OnSetFPS(unsigned int) override {}
    bool OnRender() override { return true; }
};

App* CreateGLTestApp() { return new GLTestApp(); }

}  // namespace

GLES2Engine* OpenGLContext() {
    static bool tried = false;
    static SDLApp* shell = nullptr;
    if (!tried) {
        tried = true;
        static char name[] = "vomra-gl-test";
        static char window[] = "--window";
        static char* argv[] = {name, window, nullptr};
        static const App::Info info("Vomra GL test", false, 64, 64, 24, 8, 16, 0, 0, nullptr);
        // Without X, SDL 1.2 would fall back to a text-mode driver that has no
        // window for EGL; fail plainly instead.
        setenv("SDL_VIDEODRIVER", "x11", 0);
        // Kept for the whole process: resources made by tests refer to its engine.
        SDLApp* app = new SDLApp(2, argv, CreateGLTestApp, info);
        // A display that xvfb-run has only just started (or is still tearing
        // down from a previous run) can refuse the first connection.
        for (int attempt = 0; attempt < 10 && !shell; ++attempt) {
            if (app->Initialize()) {
                shell = app;
                break;
            }
            std::string error = SDL_GetError();
            SDL_Quit();
            if (attempt == 9)
                fprintf(stderr, "GL test context unavailable: %s\n", error.c_str());
            else
                SDL_Delay(300);
        }
    }
    return shell ? shell->GetEngine() : nullptr;
}

void ResetGLState() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glUseProgram(0);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    glBlendFunc(GL_ONE, GL_ZERO);
    glBlendEquation(GL_FUNC_ADD);
    glBlendColor(0, 0, 0, 0);
    glActiveTexture(GL_TEXTURE0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    // Errors left by an earlier test must not be blamed on the next one.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

::testing::AssertionResult PixelNear(const Rgba& actual, const Rgba& expected, int tolerance) {
    if (abs(actual.r - expected.r) <= tolerance && abs(actual.g - expected.g) <= tolerance &&
        abs(actual.b - expected.b) <= tolerance && abs(actual.a - expected.a) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << actual.r << ", " << actual.g << ", " << actual.b << ", " << actual.a
           << ") is not (" << expected.r << ", " << expected.g << ", " << expected.b << ", "
           << expected.a << ") within " << tolerance;
}

GLTarget::GLTarget(unsigned int w, unsigned int h) : width(w), height(h) {
    texture.format = Texture::TF_RGBA8;
    texture.width = w;
    texture.height = h;
    frameBuffer.Attach(FrameBuffer::A_Color0, &texture);
    frameBuffer.Init();
}

GLTarget::~GLTarget() {
    if (frameBuffer.initializer) frameBuffer.initializer->Deinit();
    if (texture.initializer) texture.initializer->Deinit();
}

GLuint GLTarget::FramebufferName() const {
    if (!frameBuffer.initializer) return 0;
    return static_cast<GLES2FrameBufferInitializer*>(frameBuffer.initializer)->framebufferName;
}

Rgba ReadBound(unsigned int x, unsigned int y) {
    unsigned char p[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(GLint(x), GLint(y), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return Rgba{p[0], p[1], p[2], p[3]};
}

Rgba GLTarget::Read(unsigned int x, unsigned int y) {
    glBindFramebuffer(GL_FRAMEBUFFER, FramebufferName());
    return ReadBound(x, y);
}

static ArrayData Raw(AttributeArray::Type type, NumericType numericType, unsigned int components,
                     const void* data, size_t bytes) {
    ArrayData a{type, numericType, components, std::vector<unsigned char>(bytes)};
    if (bytes) memcpy(a.bytes.data(), data, bytes);
    return a;
}

ArrayData Floats(AttributeArray::Type type, unsigned int components, const std::vector<float>& v) {
    return Raw(type, NT_Float, components, v.data(), v.size() * sizeof(float));
}

ArrayData Bytes(AttributeArray::Type type, unsigned int components,
                const std::vector<unsigned char>& v) {
    return Raw(type, NT_Byte, components, v.data(), v.size());
}

ArrayData Shorts(AttributeArray::Type type, unsigned int components,
                 const std::vector<unsigned short>& v) {
    return Raw(type, NT_Short, components, v.data(), v.size() * sizeof(unsigned short));
}

ArrayData Ints(AttributeArray::Type type, unsigned int components,
               const std::vector<unsigned int>& v) {
    return Raw(type, NT_Int, components, v.data(), v.size() * sizeof(unsigned int));
}

static void Fill(AttributeArray* a, const ArrayData& d) {
    a->type = d.type;
    a->numericType = d.numericType;
    a->components = d.components;
    a->stride = AttributeArray::ElementSize(d.components, d.numericType);
    a->count = unsigned(d.bytes.size() / a->stride);
    a->data = new unsigned char[d.bytes.size()];
    if (!d.bytes.empty()) memcpy(a->data, d.bytes.data(), d.bytes.size());
}

AttributeArray* MakeArray(const ArrayData& array) {
    AttributeArray* out = new AttributeArray();
    Fill(out, array);
    return out;
}

AttributeArray* MakeArrays(const std::vector<ArrayData>& arrays) {
    AttributeArray* out = new AttributeArray[arrays.size()];
    for (size_t i = 0; i < arrays.size(); ++i) Fill(&out[i], arrays[i]);
    return out;
}

ArrayData FullQuad() {
    return Floats(AttributeArray::at_Location, 2, {-1, -1, 1, -1, -1, 1, 1, 1});
}

std::unique_ptr<Mesh> MakeMesh(const std::vector<ArrayData>& vertexArrays,
                               unsigned int vertexCount, unsigned int primitive) {
    std::unique_ptr<Mesh> mesh(new Mesh());
    mesh->SetVertexArrays(MakeArrays(vertexArrays), unsigned(vertexArrays.size()));
    mesh->vertexCount = vertexCount;
    mesh->primitive = primitive;
    mesh->UpdateBatches();
    return mesh;
}

std::unique_ptr<Program> MakeProgram(const char* vertexSource, const char* fragmentSource) {
    std::unique_ptr<Program> program(new Program());
    program->SetSources(vertexSource, fragmentSource);
    program->Init();
    return program;
}

void RunPass(GLES2Renderer* renderer, Pass* pass, std::initializer_list<RenderState*> states) {
    pass->queue.states.Clear();
    for (RenderState* state : states) pass->queue.states.Add(state);
    renderer->RenderPass(pass);
}

void GLTest::SetUp() {
    engine = OpenGLContext();
    ASSERT_NE(engine, nullptr) << "no GL context: run under xvfb-run";
    ResetGLState();
}

const char* const kPassThroughVertexShader =
    "attribute vec4 Vomra_va_Location;\n"
    "void main() { gl_Position = Vomra_va_Location; }\n";

}  // namespace testsupport
