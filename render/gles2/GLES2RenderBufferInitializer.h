// GL side of a renderbuffer: storage of the resource's size and format.
#pragma once

#include <GLES2/gl2.h>

#include "engine/ResourceInitializer.h"

class RenderBuffer;

class GLES2RenderBufferInitializer : public ResourceInitializer {
public:
    // By RenderBuffer::Format 0..4.
    static const GLenum glFormatTab[5];

    explicit GLES2RenderBufferInitializer(RenderBuffer* renderBuffer);
    // Releases the GL objects: the resource is going away with them.
    ~GLES2RenderBufferInitializer() override;

    bool Init() override;
    void Deinit() override;

    GLuint renderbufferName;
};
