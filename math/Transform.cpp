// Non-inline Transform operations.
#include "math/Transform.h"

void Transform::SetRotationMatrix(const Mat3& r) {
    rotationMatrix = r;
    rotation.LoadFromRotationMatrix(r);
}

Transform& Transform::LoadLookAt(const Vec3& target, const Vec3& up) {
    rotationMatrix.LoadLookAt(translation, target, up);
    rotation.LoadFromRotationMatrix(rotationMatrix);
    return *this;
}
