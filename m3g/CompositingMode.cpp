// Compositing mode records.
#include "m3g/CompositingMode.h"

namespace M3G {

CompositingMode::CompositingMode(DataSource* source, Loader* loader)
    : Object3D(source, loader), colorWriteEnabled(true), alphaWriteEnabled(true) {
    bool v2 = loader->GetVersion() == 1;
    depthTestEnabled = ReadBool(source);
    depthWriteEnabled = ReadBool(source);
    if (!v2) {
        colorWriteEnabled = ReadBool(source);
        alphaWriteEnabled = ReadBool(source);
    }
    blending = ReadU8(source);
    alphaThreshold = ReadU8(source);
    depthOffsetFactor = ReadF32(source);
    depthOffsetUnits = ReadF32(source);
    if (v2) {
        extra1 = ReadU8(source);
        extra2 = ReadU8(source);
        extra3 = ReadU32(source);
        extra4 = ReadU32(source);
        extra5 = ReadU32(source);
    } else {
        extra1 = 518;
        extra2 = 518;
        extra3 = 0;
        extra4 = 0;
        extra5 = colorWriteEnabled ? 0 : 0xFFFFFFFFu;
    }
}

}  // namespace M3G
