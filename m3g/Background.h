// How a World's frame is cleared.
#pragma once

#include "m3g/Object3D.h"

namespace M3G {

class Background : public Object3D {
public:
    Background(DataSource* source, Loader* loader);
    Type GetType() const override { return T_Background; }

    unsigned char color[4];  // RGBA
    unsigned int image;
    unsigned int imageModeX;
    unsigned int imageModeY;
    int cropX;
    int cropY;
    int cropWidth;
    int cropHeight;
    bool depthClearEnabled;
    bool colorClearEnabled;    // 1.0 files only; false in 2.0 files
    bool stencilClearEnabled;  // 2.0 files only
    float depthClearValue;     // 1.0 in 1.0 files
    unsigned int stencilClearValue;
    unsigned int extra;
};

}  // namespace M3G
