// Decodes images named by URLs into textures.
#pragma once

#include "app/SystemObject.h"

class Texture2D;

class ImageLoader : public SystemObject {
public:
    explicit ImageLoader(App* app) : SystemObject(app) {}
    int GetType() const override { return ST_ImageLoader; }
    virtual Texture2D* Load(const char* url) = 0;
};
