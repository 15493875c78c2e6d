// Background records.
#include "m3g/Background.h"

namespace M3G {

Background::Background(DataSource* source, Loader* loader)
    : Object3D(source, loader),
      colorClearEnabled(false),
      stencilClearEnabled(false),
      depthClearValue(1.0f),
      stencilClearValue(0),
      extra(0) {
    ReadBytes(source, color, 4);
    image = ReadU32(source);
    imageModeX = ReadU8(source);
    imageModeY = ReadU8(source);
    cropX = ReadI32(source);
    cropY = ReadI32(source);
    cropWidth = ReadI32(source);
    cropHeight = ReadI32(source);
    depthClearEnabled = ReadBool(source);
    if (loader->GetVersion() == 0) {
        colorClearEnabled = ReadBool(source);
    } else {
        stencilClearEnabled = ReadBool(source);
        depthClearValue = ReadF32(source);
        stencilClearValue = ReadU32(source);
        extra = ReadU32(source);
    }
}

}  // namespace M3G
