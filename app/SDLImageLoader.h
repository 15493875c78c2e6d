// Decodes 24- and 32-bit images with SDL_image into textures whose rows run
// bottom-up, as GL expects them.
#pragma once

#include "app/ImageLoader.h"

class SDLImageLoader : public ImageLoader {
public:
    explicit SDLImageLoader(App* app) : ImageLoader(app) {}

    // Null for an unresolvable URL, an undecodable image (reported) or a pixel
    // size other than 3 or 4 bytes (not reported).
    Texture2D* Load(const char* url) override;
};
