// Transform fields of nodes and textures.
#include "m3g/Transformable.h"

#include "math/Quat.h"
#include "math/Transform.h"
#include "math/Vec3.h"

namespace M3G {

Transformable::Transformable(DataSource* source, Loader* loader)
    : Object3D(source, loader),
      translation{0, 0, 0},
      scale{1, 1, 1},
      orientationAngle(0),
      orientationAxis{0, 0, 1},
      matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {
    hasComponentTransform = ReadBool(source);
    if (hasComponentTransform) {
        ReadF32s(source, translation, 3);
        ReadF32s(source, scale, 3);
        orientationAngle = ReadF32(source);
        ReadF32s(source, orientationAxis, 3);
    }
    hasGeneralTransform = ReadBool(source);
    if (hasGeneralTransform) ReadF32s(source, matrix, 16);
}

void Transformable::GetTransform(Transform* t) const {
    if (hasComponentTransform) {
        t->translation = Vec3(translation[0], translation[1], translation[2]);
        t->scale = Vec3(scale[0], scale[1], scale[2]);
        Quat q;
        q.LoadFromAngleAxis(orientationAngle * 0.017453292519943295f,
                            Vec3(orientationAxis[0], orientationAxis[1], orientationAxis[2]));
        t->SetRotation(q);
    }
    if (hasGeneralTransform) LoadRows(matrix, &t->matrix);
}

void Transformable::LoadRows(const float* rows, Mat4* out) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) out->m[4 * c + r] = rows[4 * r + c];
}

}  // namespace M3G
