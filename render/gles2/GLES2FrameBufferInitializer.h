// GL side of a framebuffer: the framebuffer object with its attachments.
#pragma once

#include <GLES2/gl2.h>

#include "engine/ResourceInitializer.h"

class FrameBuffer;
class RenderTarget;

class GLES2FrameBufferInitializer : public ResourceInitializer {
public:
    explicit GLES2FrameBufferInitializer(FrameBuffer* frameBuffer);
    // Releases the GL objects: the resource is going away with them.
    ~GLES2FrameBufferInitializer() override;

    // Attaches every target, initialising those without a GL object first.
    // Completeness is not queried.
    bool Init() override;
    void Deinit() override;

    // Attaches one target to the bound framebuffer.
    void Attach(GLenum attachment, RenderTarget* target);

    GLuint framebufferName;
};
