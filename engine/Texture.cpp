// Fields shared by every texture.
#include "engine/Texture.h"

const unsigned int Texture::textureFormatSizes[kFormatCount] = {1, 1, 3, 4, 2, 2, 6, 8,
                                                                2, 3, 4, 1, 2};

Texture::Texture() : format(TF_Alpha8), mipmapped(false) {}
