// Framebuffer objects and their attachments.
#include "render/gles2/GLES2FrameBufferInitializer.h"

#include "engine/FrameBuffer.h"
#include "engine/RenderBuffer.h"
#include "engine/Texture2D.h"
#include "render/gles2/GLES2RenderBufferInitializer.h"
#include "render/gles2/GLES2TextureInitializer.h"

GLES2FrameBufferInitializer::GLES2FrameBufferInitializer(FrameBuffer* frameBuffer)
    : framebufferName(0) {
    resource = frameBuffer;
}

GLES2FrameBufferInitializer::~GLES2FrameBufferInitializer() { Deinit(); }

bool GLES2FrameBufferInitializer::Init() {
    if (initialized) return true;
    FrameBuffer* frameBuffer = static_cast<FrameBuffer*>(resource);
    glGenFramebuffers(1, &framebufferName);
    glBindFramebuffer(GL_FRAMEBUFFER, framebufferName);
    for (unsigned int i = FrameBuffer::A_Color0; i <= FrameBuffer::A_Color7; ++i)
        if (frameBuffer->attachments[i])
            Attach(GL_COLOR_ATTACHMENT0 + i, frameBuffer->attachments[i]);
    if (frameBuffer->attachments[FrameBuffer::A_Depth])
        Attach(GL_DEPTH_ATTACHMENT, frameBuffer->attachments[FrameBuffer::A_Depth]);
    if (frameBuffer->attachments[FrameBuffer::A_Stencil])
        Attach(GL_STENCIL_ATTACHMENT, frameBuffer->attachments[FrameBuffer::A_Stencil]);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    initialized = true;
    return true;
}

void GLES2FrameBufferInitializer::Attach(GLenum attachment, RenderTarget* target) {
    switch (target->GetRenderTargetType()) {
    case RenderTarget::RTT_Texture2D: {
        Texture2D* texture = static_cast<Texture2D*>(target);
        if (!texture->initializer || !texture->initializer->initialized) texture->Init();
        // Still without a GL object (no active engine): nothing to attach.
        if (!texture->initializer || !texture->initializer->initialized) return;
        // The texture's own Init unbinds its target but leaves the framebuffer bound.
        GLuint name = static_cast<GLES2TextureInitializer*>(texture->initializer)->textureName;
        glFramebufferTexture2D(GL_FRAMEBUFFER, attachment, GL_TEXTURE_2D, name, 0);
        break;
    }
    case RenderTarget::RTT_RenderBuffer: {
        RenderBuffer* renderBuffer = static_cast<RenderBuffer*>(target);
        if (!renderBuffer->initializer || !renderBuffer->initializer->initialized)
            renderBuffer->Init();
        if (!renderBuffer->initializer || !renderBuffer->initializer->initialized) return;
        GLuint name =
            static_cast<GLES2RenderBufferInitializer*>(renderBuffer->initializer)->renderbufferName;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, name);
        break;
    }
    default:
        break;
    }
}

void GLES2FrameBufferInitializer::Deinit() {
    if (!initialized) return;
    glDeleteFramebuffers(1, &framebufferName);
    framebufferName = 0;
    initialized = false;
}
