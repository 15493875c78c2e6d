// Appearance base fields.
#include "m3g/AppearanceBase.h"

namespace M3G {

AppearanceBase::AppearanceBase(DataSource* source, Loader* loader)
    : Object3D(source, loader), extra1(0), extra2(0) {
    layer = ReadU8(source);
    compositingMode = ReadU32(source);
    if (loader->GetVersion() == 1) {
        extra1 = ReadU32(source);
        extra2 = ReadU32(source);
    }
}

}  // namespace M3G
