// GL side of a texture: the texture object, its image (2D only) and the
// default sampling parameters.
#pragma once

#include <GLES2/gl2.h>

#include "engine/ResourceInitializer.h"

class Texture;

class GLES2TextureInitializer : public ResourceInitializer {
public:
    // By texture type 0..3; 0 where there is no target.
    static const GLenum tt2gl[4];
    // By texture format 0..12; 0 where OpenGL ES 2.0 has no format.
    static const GLenum sc_tf2SizedFormatTab[13];
    static const GLenum sc_tf2BaseFormatTab[13];

    explicit GLES2TextureInitializer(Texture* texture);
    // Releases the GL objects: the resource is going away with them.
    ~GLES2TextureInitializer() override;

    // Throws a heap Exception ("Texture internal format unknown.") for a
    // texture type or format the tables do not cover.
    bool Init() override;
    void Deinit() override;

    GLuint textureName;
    GLenum target;
    GLenum internalFormat;
    GLenum format;
    GLenum type;
};
