// The GL test context: the real shell opened on the X display with an
// application that does nothing, and the helpers GL tests share.
#include "support/GLTestContext.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/App.h"
#include "app/SDLApp.h"
#include "render/gles2/GLES2FrameBufferInitializer.h"

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

// Kept for the whole process: resources made by tests refer to its engine.
bool OpenShell() {
    static char name[] = "vomra-gl-test", window[] = "--window";
    static char* argv[] = {name, window, nullptr};
    static const App::Info info("Vomra GL test", false, 64, 64, 24, 8, 16, 0, 0, nullptr);
    // Without X, SDL 1.2 falls back to a text-mode driver with no window for EGL.
    setenv("SDL_VIDEODRIVER", "x11", 0);
    SDLApp* app = new SDLApp(2, argv, []() -> App* { return new GLTestApp(); }, info);
    // A display that xvfb-run has only just started can refuse the first connections.
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (app->Initialize()) return true;
        fprintf(stderr, "GL test context unavailable: %s\n", SDL_GetError());
        SDL_Quit();
        SDL_Delay(300);
    }
    return false;
}

}  // namespace

::testing::AssertionResult PixelNear(const Rgba& actual, const Rgba& expected, int tolerance) {
    for (int i = 0; i < 4; ++i)
        if (abs(actual.c[i] - expected.c[i]) > tolerance)
            return ::testing::AssertionFailure()
                   << "pixel " << ::testing::PrintToString(actual.c) << " is not "
                   << ::testing::PrintToString(expected.c) << " within " << tolerance;
    return ::testing::AssertionSuccess();
}

AttributeArray* Fill(AttributeArray* a, const ArrayData& data) {
    a->type = data.type;
    a->numericType = data.numericType;
    a->components = data.components;
    a->stride = AttributeArray::ElementSize(data.components, data.numericType);
    a->count = unsigned(data.bytes.size() / a->stride);
    a->data = new unsigned char[data.bytes.size()];
    if (!data.bytes.empty()) memcpy(a->data, data.bytes.data(), data.bytes.size());
    return a;
}

AttributeArray* MakeArrays(const std::vector<ArrayData>& arrays) {
    AttributeArray* out = new AttributeArray[arrays.size()];
    for (size_t i = 0; i < arrays.size(); ++i) Fill(&out[i], arrays[i]);
    return out;
}

std::unique_ptr<Mesh> MakeMesh(const std::vector<ArrayData>& arrays, unsigned int vertexCount) {
    std::unique_ptr<Mesh> mesh(new Mesh());
    mesh->SetVertexArrays(MakeArrays(arrays), unsigned(arrays.size()));
    mesh->vertexCount = vertexCount;
    mesh->primitive = 1;
    mesh->UpdateBatches();
    return mesh;
}

std::unique_ptr<Program> MakeProgram(const char* vertexSource, const char* fragmentSource) {
    std::unique_ptr<Program> program(new Program());
    program->SetSources(vertexSource, fragmentSource);
    program->Init();
    return program;
}

std::unique_ptr<Program> ColourProgram(const char* uniforms, const char* colour) {
    std::string source = std::string("precision mediump float;\n") + uniforms +
                         "void main() { gl_FragColor = " + colour + "; }\n";
    return MakeProgram(kPassThroughVertexShader, source.c_str());
}

const char* const kPassThroughVertexShader =
    "attribute vec4 Vomra_va_Location;\n"
    "void main() { gl_Position = Vomra_va_Location; }\n";

void GLTest::SetUp() {
    static const bool open = OpenShell();
    ASSERT_TRUE(open) << "no GL context: run under xvfb-run";
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    // Errors left by an earlier test must not be blamed on this one.
    while (glGetError() != GL_NO_ERROR) continue;
    colour.format = Texture::TF_RGBA8;
    colour.width = colour.height = kSize;
    target.Attach(FrameBuffer::A_Color0, &colour);
    target.Init();
    renderer.SetViewport(0, 0, kSize, kSize);
    quad = Keep(MakeMesh({FullQuad()}, 4));
}

void GLTest::RunPass(Pass* pass, const std::vector<RenderState*>& states) {
    pass->queue.states.Clear();
    for (RenderState* state : states) pass->queue.states.Add(state);
    renderer.RenderPass(pass);
}

void GLTest::Draw(const Vec4& clear, std::vector<RenderState*> states, Mesh* mesh) {
    node.meshes.Clear();
    node.Attach(mesh ? mesh : quad);
    states.push_back(&node.geometryState);
    Pass pass(nullptr, nullptr, &target, true, clear);
    RunPass(&pass, states);
}

Rgba GLTest::Read(unsigned int x, unsigned int y) {
    auto* init = static_cast<GLES2FrameBufferInitializer*>(target.initializer);
    glBindFramebuffer(GL_FRAMEBUFFER, init->framebufferName);
    unsigned char p[4] = {0, 0, 0, 0};
    glReadPixels(GLint(x), GLint(y), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return Rgba{{p[0], p[1], p[2], p[3]}};
}

}  // namespace testsupport
