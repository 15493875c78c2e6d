// Images: a loaded texture and its size.
#include "demo/Image.h"

#include "engine/Texture.h"
#include "engine/Texture2D.h"

namespace Demo {

Image::Image(Texture* texture_) : texture(texture_) {}

Image::~Image() { delete texture; }

unsigned int Image::GetWidth() const {
    if (!texture || texture->GetTextureType() != Texture::TT_2D) return 0;
    return static_cast<const Texture2D*>(texture)->width;
}

unsigned int Image::GetHeight() const {
    if (!texture || texture->GetTextureType() != Texture::TT_2D) return 0;
    return static_cast<const Texture2D*>(texture)->height;
}

unsigned long long Image::HeldBytes() const {
    return (unsigned long long)GetWidth() * GetHeight() * 8 + 4096;
}

}  // namespace Demo
