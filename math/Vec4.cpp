// Non-inline Vec4 operations.
#include "math/Vec4.h"

Vec4& Vec4::Normalize(float eps) {
    float inv = 1.0f / (Length() + eps);
    x *= inv;
    y *= inv;
    z *= inv;
    w *= inv;
    return *this;
}
