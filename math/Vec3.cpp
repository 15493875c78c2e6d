// Non-inline Vec3 operations.
#include "math/Vec3.h"

float Vec3::Angle(const Vec3& b) const {
    float c = Dot(b) / (Length() * b.Length());
    // Rounding can push the cosine of (anti)parallel vectors just past 1 in
    // magnitude, where acosf gives NaN instead of 0 or pi. NaN (a zero
    // vector) passes through both tests unchanged.
    if (c > 1.0f) c = 1.0f;
    if (c < -1.0f) c = -1.0f;
    return std::acos(c);
}
