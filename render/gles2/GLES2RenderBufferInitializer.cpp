// Renderbuffer storage.
#include "render/gles2/GLES2RenderBufferInitializer.h"

#include "engine/RenderBuffer.h"

const GLenum GLES2RenderBufferInitializer::glFormatTab[5] = {
    GL_RGB565, GL_RGBA4, GL_RGB5_A1, GL_DEPTH_COMPONENT16, GL_STENCIL_INDEX8,
};

GLES2RenderBufferInitializer::GLES2RenderBufferInitializer(RenderBuffer* renderBuffer)
    : renderbufferName(0) {
    resource = renderBuffer;
}

GLES2RenderBufferInitializer::~GLES2RenderBufferInitializer() { Deinit(); }

bool GLES2RenderBufferInitializer::Init() {
    if (initialized) return true;
    RenderBuffer* renderBuffer = static_cast<RenderBuffer*>(resource);
    // A format past the table passes 0, which GL refuses like any bad enum.
    GLenum format =
        renderBuffer->format < RenderBuffer::kFormatCount ? glFormatTab[renderBuffer->format] : 0;
    glGenRenderbuffers(1, &renderbufferName);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbufferName);
    glRenderbufferStorage(GL_RENDERBUFFER, format, GLsizei(renderBuffer->width),
                          GLsizei(renderBuffer->height));
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    initialized = true;
    return true;
}

void GLES2RenderBufferInitializer::Deinit() {
    if (!initialized) return;
    glDeleteRenderbuffers(1, &renderbufferName);
    renderbufferName = 0;
    initialized = false;
}
