// A texture loaded from an image file, for use as an effect source.
#pragma once

#include "demo/Object.h"

class Texture;

namespace Demo {

class Image : public Object {
public:
    // Takes ownership of texture, which may be null (a failed load).
    explicit Image(Texture* texture);
    ~Image() override;

    // The 2D texture's size; 0 for other textures and for none.
    unsigned int GetWidth() const;
    unsigned int GetHeight() const;
    // The pixels and their GPU copy.
    unsigned long long HeldBytes() const override;

    Texture* texture;  // owned, may be null
};

}  // namespace Demo
