// Quaternion conversions, exponential and logarithm.
#include "math/Quat.h"

#include "math/Mat3.h"

namespace {
const float kTraceFloor = 0.1f;
}

Quat& Quat::LoadFromAngleAxis(float angle, const Vec3& axis) {
    // The axis is made unit first: scaling only the vector part by a longer
    // axis and normalising the four components afterwards would turn by
    // 2 atan(|axis| tan(angle / 2)) instead of by angle. A zero axis gives
    // the identity.
    Vec3 unit = axis;
    unit.Normalize(1e-12f);
    float h = angle * 0.5f;
    float s = std::sin(h);
    x = unit.x * s;
    y = unit.y * s;
    z = unit.z * s;
    w = std::cos(h);
    float d = Length() + 1e-12f;
    x /= d;
    y /= d;
    z /= d;
    w /= d;
    return *this;
}

Quat& Quat::LoadFromRotationMatrix(const Mat3& m) {
    float m00 = m(0, 0), m11 = m(1, 1), m22 = m(2, 2);
    float t = 1.0f + m00 + m11 + m22;
    // t is 4w^2. Near a half turn it is small and swamped by rounding in the
    // matrix, and w, x, y, z taken from it come out wrong (a 180-degree turn
    // with t = 1e-7 gave a near-zero quaternion; the error grows as 1e-6 / t),
    // so below 0.1 (turns beyond about 162 degrees) the largest diagonal
    // element is used instead. Both ways give the same rotation.
    if (t > kTraceFloor) {
        float s = 0.5f / std::sqrt(t);
        w = 0.25f / s;
        x = (m(2, 1) - m(1, 2)) * s;
        y = (m(0, 2) - m(2, 0)) * s;
        z = (m(1, 0) - m(0, 1)) * s;
    } else if (m00 >= m11 && m00 >= m22) {
        // >= so that ties (a half turn about (1, 1, 0)) never pick the
        // smallest element, whose S would be 0.
        float s = 2.0f * std::sqrt(1.0f + m00 - m11 - m22);
        x = 0.25f * s;
        y = (m(0, 1) + m(1, 0)) / s;
        z = (m(0, 2) + m(2, 0)) / s;
        w = (m(2, 1) - m(1, 2)) / s;
    } else if (m11 >= m22) {
        float s = 2.0f * std::sqrt(1.0f + m11 - m00 - m22);
        x = (m(0, 1) + m(1, 0)) / s;
        y = 0.25f * s;
        z = (m(1, 2) + m(2, 1)) / s;
        w = (m(0, 2) - m(2, 0)) / s;
    } else {
        float s = 2.0f * std::sqrt(1.0f + m22 - m00 - m11);
        x = (m(0, 2) + m(2, 0)) / s;
        y = (m(1, 2) + m(2, 1)) / s;
        z = 0.25f * s;
        w = (m(1, 0) - m(0, 1)) / s;
    }
    return *this;
}

Quat& Quat::LoadFromEulerXYZ(float a, float b, float c) {
    float ca = std::cos(a * 0.5f), sa = std::sin(a * 0.5f);
    float cb = std::cos(b * 0.5f), sb = std::sin(b * 0.5f);
    float cc = std::cos(c * 0.5f), sc = std::sin(c * 0.5f);
    w = ca * cb * cc - sa * sb * sc;
    x = -(sa * cb * cc + ca * sb * sc);
    y = -(ca * sb * cc + sa * cb * sc);
    z = ca * cb * sc - sa * sb * cc;
    return *this;
}

Quat Quat::Exp() const {
    // theta takes all four components, w included.
    float theta = std::sqrt(x * x + y * y + z * z + w * w);
    float s = std::sin(theta);
    Quat r(x, y, z, std::cos(theta));
    if (std::fabs(s) > 1e-7f) {
        r.x = x * s / theta;
        r.y = y * s / theta;
        r.z = z * s / theta;
    }
    return r;
}

Quat Quat::Log() const {
    // |w| > 1 (an unnormalised key) makes theta NaN; the test below then
    // fails and the vector part passes through, so no NaN leaks out.
    float theta = std::acos(w);
    float s = std::sin(theta);
    Quat r(x, y, z, 0.0f);
    if (std::fabs(s) > 1e-7f) {
        r.x = x / s * theta;
        r.y = y / s * theta;
        r.z = z / s * theta;
    }
    return r;
}
