// A Renderer for tests: performs nothing and logs every call and state it
// receives as a readable line ("Blend(B1)", "Geometry(G1)", "SetRenderTarget(null)").
#pragma once

#include <map>
#include <string>
#include <vector>

#include "math/Mat4.h"
#include "render/Renderer.h"

class RenderQueue;
class RenderState;

namespace testsupport {

class RecordingRenderer : public Renderer {
public:
    // Objects are shown by the name given here, else "#id" for scene objects
    // with an id, else "?". A null pointer shows as "null".
    void SetName(const void* object, const std::string& name) { names[object] = name; }
    std::string NameOf(const void* object) const;

    // The log as one comma-separated line.
    std::string Joined() const;
    void ClearLog();
    // Assigns every state of the queue's output in order and returns what was
    // logged for them, comma-separated; the renderer's log is left as it was.
    std::string Describe(const RenderQueue& queue);

    void Init() override;
    void SetViewport(unsigned int x, unsigned int y, unsigned int width,
                     unsigned int height) override;
    void SetDefaultRenderTarget(FrameBuffer* frameBuffer) override;
    void AssignState(BlendState* state) override;
    void AssignState(DepthTestState* state) override;
    void AssignState(GenericState* state) override;
    void AssignState(GeometryState* state) override;
    void AssignState(StencilTestState* state) override;
    void AssignState(TextureSamplerState* state) override;
    void AssignState(TextureState* state) override;
    void AssignState(ProgramState* state) override;
    void AssignState(UniformState* state) override;
    void AssignState(MaterialState* state) override;
    void SetRenderTarget(FrameBuffer* frameBuffer) override;
    void ClearBuffers(const Pass* pass) override;
    void AssignProjectionMatrix(const Mat4& matrix) override;
    void AssignViewMatrix(const Mat4& matrix) override;
    void AssignPrevViewMatrix(const Mat4& matrix) override;

    std::vector<std::string> log;
    // Every matrix received, in order.
    std::vector<Mat4> projections;
    std::vector<Mat4> views;
    std::vector<Mat4> prevViews;

private:
    std::string StateName(const RenderState* state) const;
    std::map<const void*, std::string> names;
};

}  // namespace testsupport
