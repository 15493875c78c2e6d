// Objects with a local transform: component form and general matrix.
#pragma once

#include "m3g/Object3D.h"

class Mat4;
class Transform;

namespace M3G {

class Transformable : public Object3D {
public:
    Transformable(DataSource* source, Loader* loader);

    // Writes the component transform and the general matrix (when present)
    // into t; the rest of t is left as it is.
    void GetTransform(Transform* t) const;
    // Sixteen floats listed row by row, as the file gives matrices, into the
    // engine's column-major storage.
    static void LoadRows(const float* rows, Mat4* out);

    bool hasComponentTransform;
    float translation[3];
    float scale[3];
    float orientationAngle;  // degrees
    float orientationAxis[3];
    bool hasGeneralTransform;
    float matrix[16];  // row by row, as in the file
};

}  // namespace M3G
