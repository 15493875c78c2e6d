// Texture objects: target and formats from the texture's type and format,
// the 2D image, and default filtering and wrapping.
#include "render/gles2/GLES2TextureInitializer.h"

#include "engine/Exception.h"
#include "engine/Texture.h"
#include "engine/Texture2D.h"

const GLenum GLES2TextureInitializer::tt2gl[4] = {0, GL_TEXTURE_2D, 0, GL_TEXTURE_CUBE_MAP};

// Formats 4..12 have no OpenGL ES 2.0 equivalent: GL refuses them.
const GLenum GLES2TextureInitializer::sc_tf2SizedFormatTab[13] = {
    GL_ALPHA, GL_LUMINANCE, GL_RGB, GL_RGBA, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};

const GLenum GLES2TextureInitializer::sc_tf2BaseFormatTab[13] = {
    GL_ALPHA, GL_LUMINANCE, GL_RGB, GL_RGBA, GL_ALPHA, GL_LUMINANCE, GL_RGB, GL_RGBA,
    0,        0,            0,      0,       0,
};

GLES2TextureInitializer::GLES2TextureInitializer(Texture* texture)
    : textureName(0), target(0), internalFormat(0), format(0), type(0) {
    resource = texture;
}

GLES2TextureInitializer::~GLES2TextureInitializer() { Deinit(); }

bool GLES2TextureInitializer::Init() {
    if (initialized) return true;
    Texture* texture = static_cast<Texture*>(resource);
    unsigned int textureType = texture->GetTextureType();
    unsigned int textureFormat = texture->format;
    // Anything past the tables is as unknown as the values that say so.
    if (textureType >= Texture::TT_Unknown || textureFormat >= Texture::TF_Unknown)
        throw new Exception("Texture internal format unknown.");

    target = tt2gl[textureType];
    internalFormat = sc_tf2SizedFormatTab[textureFormat];
    format = sc_tf2BaseFormatTab[textureFormat];
    if (textureFormat <= Texture::TF_RGBA8)
        type = GL_UNSIGNED_BYTE;
    else if (textureFormat <= Texture::TF_RGBA16)
        type = GL_UNSIGNED_SHORT;
    else
        type = 0;

    glGenTextures(1, &textureName);
    glBindTexture(target, textureName);
    if (textureType == Texture::TT_2D) {
        Texture2D* texture2D = static_cast<Texture2D*>(texture);
        // Null pixels make storage without data: a render target.
        glTexImage2D(target, 0, GLint(internalFormat), GLsizei(texture2D->width),
                     GLsizei(texture2D->height), 0, format, type, texture2D->pixels);
    }
    if (texture->mipmapped) {
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glGenerateMipmap(target);
    } else {
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glBindTexture(target, 0);
    initialized = true;
    return true;
}

void GLES2TextureInitializer::Deinit() {
    if (!initialized) return;
    glDeleteTextures(1, &textureName);
    textureName = 0;
    initialized = false;
}
