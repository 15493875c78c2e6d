// A Renderer for tests: performs nothing and logs every call and state it
// receives as a readable line ("Blend(B1)", "Geometry(G1)", "SetRenderTarget(null)").
#pragma once

#include <map>
#include <string>
#include <vector>

#include "math/Mat4.h"
#include "render/Renderer.h"

class RenderQueue;

namespace testsupport {

class RecordingRenderer : public Renderer {
public:
    // Objects show by the name given here, "null" for a null pointer, else "?".
    void SetName(const void* object, const std::string& name) { names[object] = name; }
    std::string NameOf(const void* object) const;

    // The log as one comma-separated line.
    std::string Joined() const;
    void ClearLog() { log.clear(); projections.clear(); views.clear(); prevViews.clear(); }
    // What assigning the queue's output in order would log; the log is left alone.
    std::string Describe(const RenderQueue& queue);

    void Init() override { log.push_back("Init"); }
    void SetViewport(unsigned int x, unsigned int y, unsigned int width,
                     unsigned int height) override;
    void SetDefaultRenderTarget(FrameBuffer* f) override { Log("SetDefaultRenderTarget", f); }
    void AssignState(BlendState* state) override { Log("Blend", state); }
    void AssignState(DepthTestState*) override { log.push_back("DepthTest"); }
    void AssignState(GenericState* state) override { Log("Generic", state); }
    void AssignState(GeometryState* state) override;
    void AssignState(StencilTestState*) override { log.push_back("StencilTest"); }
    void AssignState(TextureSamplerState* state) override { Log("TextureSampler", state); }
    void AssignState(TextureState* state) override { Log("Texture", state); }
    void AssignState(ProgramState* state) override { Log("Program", state); }
    void AssignState(UniformState* state) override { Log("Uniform", state); }
    void AssignState(MaterialState* state) override { Log("Material", state); }
    void SetRenderTarget(FrameBuffer* f) override { Log("SetRenderTarget", f); }
    void ClearBuffers(const Pass* pass) override { Log("Clear", pass); }
    void AssignProjectionMatrix(const Mat4& m) override { Log("Projection", projections, m); }
    void AssignViewMatrix(const Mat4& m) override { Log("View", views, m); }
    void AssignPrevViewMatrix(const Mat4& m) override { Log("PrevView", prevViews, m); }

    std::vector<std::string> log;
    // Every matrix received, in order.
    std::vector<Mat4> projections, views, prevViews;

private:
    void Log(const char* call, const void* object) {
        log.push_back(std::string(call) + "(" + NameOf(object) + ")");
    }
    void Log(const char* call, std::vector<Mat4>& list, const Mat4& m) {
        log.push_back(call);
        list.push_back(m);
    }
    std::map<const void*, std::string> names;
};

}  // namespace testsupport
