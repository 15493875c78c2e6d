// Polygon mode records.
#include "m3g/PolygonMode.h"

namespace M3G {

PolygonMode::PolygonMode(DataSource* source, Loader* loader) : Object3D(source, loader) {
    culling = ReadU8(source);
    shading = ReadU8(source);
    winding = ReadU8(source);
    twoSidedLighting = ReadBool(source);
    localCameraLighting = ReadBool(source);
    perspectiveCorrection = ReadBool(source);
}

}  // namespace M3G
