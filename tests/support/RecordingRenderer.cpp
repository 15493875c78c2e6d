// Recording renderer: turns every renderer call into a line of its log.
#include "support/RecordingRenderer.h"

#include "engine/Pass.h"
#include "engine/SceneNode.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "render/GeometryState.h"
#include "render/MaterialState.h"
#include "render/ProgramState.h"
#include "render/RenderQueue.h"
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"
#include "render/UniformState.h"

namespace testsupport {

std::string RecordingRenderer::NameOf(const void* object) const {
    if (!object) return "null";
    auto it = names.find(object);
    return it == names.end() ? "?" : it->second;
}

std::string RecordingRenderer::StateName(const RenderState* state) const {
    if (!state) return "null";
    auto it = names.find(state);
    if (it != names.end()) return it->second;
    if (state->id != SceneObject::kNoId) return "#" + std::to_string(state->id);
    return "?";
}

std::string RecordingRenderer::Joined() const {
    std::string out;
    for (size_t i = 0; i < log.size(); ++i) {
        if (i) out += ", ";
        out += log[i];
    }
    return out;
}

void RecordingRenderer::ClearLog() {
    log.clear();
    projections.clear();
    views.clear();
    prevViews.clear();
}

std::string RecordingRenderer::Describe(const RenderQueue& queue) {
    std::vector<std::string> saved;
    saved.swap(log);
    for (unsigned int i = 0; i < queue.states.Size(); ++i)
        queue.states[i]->AssignToRenderer(this);
    std::string out = Joined();
    log.swap(saved);
    return out;
}

void RecordingRenderer::Init() { log.push_back("Init"); }

void RecordingRenderer::SetViewport(unsigned int x, unsigned int y, unsigned int width,
                                    unsigned int height) {
    log.push_back("SetViewport(" + std::to_string(x) + "," + std::to_string(y) + "," +
                  std::to_string(width) + "," + std::to_string(height) + ")");
}

void RecordingRenderer::SetDefaultRenderTarget(FrameBuffer* frameBuffer) {
    log.push_back("SetDefaultRenderTarget(" + NameOf(frameBuffer) + ")");
}

void RecordingRenderer::AssignState(BlendState* state) {
    log.push_back("Blend(" + StateName(state) + ")");
}

void RecordingRenderer::AssignState(DepthTestState*) { log.push_back("DepthTest"); }

void RecordingRenderer::AssignState(GenericState* state) {
    log.push_back("Generic(" + StateName(state) + ")");
}

void RecordingRenderer::AssignState(GeometryState* state) {
    log.push_back("Geometry(" + NameOf(state->node) + ")");
}

void RecordingRenderer::AssignState(StencilTestState*) { log.push_back("StencilTest"); }

void RecordingRenderer::AssignState(TextureSamplerState* state) {
    log.push_back("TextureSampler(" + StateName(state) + ")");
}

void RecordingRenderer::AssignState(TextureState* state) {
    log.push_back("Texture(" + StateName(state) + ")");
}

void RecordingRenderer::AssignState(ProgramState* state) {
    log.push_back("Program(" + StateName(state) + ")");
}

void RecordingRenderer::AssignState(UniformState* state) {
    log.push_back("Uniform(" + StateName(state) + ")");
}

void RecordingRenderer::AssignState(MaterialState* state) {
    log.push_back("Material(" + StateName(state) + ")");
}

void RecordingRenderer::SetRenderTarget(FrameBuffer* frameBuffer) {
    log.push_back("SetRenderTarget(" + NameOf(frameBuffer) + ")");
}

void RecordingRenderer::ClearBuffers(const Pass* pass) {
    log.push_back("Clear(" + NameOf(pass) + ")");
}

void RecordingRenderer::AssignProjectionMatrix(const Mat4& matrix) {
    log.push_back("Projection");
    projections.push_back(matrix);
}

void RecordingRenderer::AssignViewMatrix(const Mat4& matrix) {
    log.push_back("View");
    views.push_back(matrix);
}

void RecordingRenderer::AssignPrevViewMatrix(const Mat4& matrix) {
    log.push_back("PrevView");
    prevViews.push_back(matrix);
}

}  // namespace testsupport
