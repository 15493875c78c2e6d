// Recording renderer: turns every renderer call into a line of its log.
#include "support/RecordingRenderer.h"

#include "render/GeometryState.h"
#include "render/RenderQueue.h"

namespace testsupport {

std::string RecordingRenderer::NameOf(const void* object) const {
    if (!object) return "null";
    auto it = names.find(object);
    return it == names.end() ? "?" : it->second;
}

std::string RecordingRenderer::Joined() const {
    std::string out;
    for (size_t i = 0; i < log.size(); ++i) out += (i ? ", " : "") + log[i];
    return out;
}

std::string RecordingRenderer::Describe(const RenderQueue& queue) {
    std::vector<std::string> saved;
    saved.swap(log);
    for (RenderState* state : queue.states) state->AssignToRenderer(this);
    std::string out = Joined();
    log.swap(saved);
    return out;
}

void RecordingRenderer::SetViewport(unsigned int x, unsigned int y, unsigned int width,
                                    unsigned int height) {
    log.push_back("SetViewport(" + std::to_string(x) + "," + std::to_string(y) + "," +
                  std::to_string(width) + "," + std::to_string(height) + ")");
}

void RecordingRenderer::AssignState(GeometryState* state) { Log("Geometry", state->node); }

}  // namespace testsupport
