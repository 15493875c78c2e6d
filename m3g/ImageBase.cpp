// Image base fields.
#include "m3g/ImageBase.h"

namespace M3G {

ImageBase::ImageBase(DataSource* source, Loader* loader) : Object3D(source, loader) {
    format = ReadU8(source);
    isMutable = ReadBool(source);
    width = ReadU32(source);
    height = ReadU32(source);
}

unsigned int ImageBase::PixelSize() const {
    switch (format) {
    case F_Alpha:
    case F_Luminance:
        return 1;
    case F_LuminanceAlpha:
        return 2;
    case F_RGB:
        return 3;
    case F_RGBA:
        return 4;
    default:
        return 0;
    }
}

}  // namespace M3G
