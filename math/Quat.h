// Quaternion {x, y, z, w}: vector part first, scalar last. Rotations are unit
// quaternions; the interpolation code also works with unnormalised ones.
#pragma once

#include <cmath>
#include <type_traits>

#include "math/Vec3.h"

class Mat3;

class Quat {
public:
    // A default quaternion is the identity rotation. Quat::ZERO is not a
    // rotation at all and must not be used where one is expected.
    constexpr Quat() : x(0.0f), y(0.0f), z(0.0f), w(1.0f) {}
    constexpr Quat(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

    static const Quat ZERO;      // (0, 0, 0, 0)
    static const Quat IDENTITY;  // (0, 0, 0, 1)

    // 0 x, 1 y, 2 z, anything else w.
    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }

    // Hamilton product: (a * b) rotates by b first, then by a.
    Quat operator*(const Quat& b) const {
        return Quat(w * b.x + x * b.w + y * b.z - z * b.y,
                    w * b.y - x * b.z + y * b.w + z * b.x,
                    w * b.z + x * b.y - y * b.x + z * b.w,
                    w * b.w - x * b.x - y * b.y - z * b.z);
    }
    Quat& operator*=(const Quat& b) { return *this = *this * b; }
    Quat operator+(const Quat& b) const { return Quat(x + b.x, y + b.y, z + b.z, w + b.w); }
    Quat operator-(const Quat& b) const { return Quat(x - b.x, y - b.y, z - b.z, w - b.w); }
    Quat operator-() const { return Quat(-x, -y, -z, -w); }
    Quat operator*(float s) const { return Quat(x * s, y * s, z * s, w * s); }
    Quat operator/(float s) const { return Quat(x / s, y / s, z / s, w / s); }
    // Exact comparison: no tolerance, NaN is unequal to everything.
    bool operator==(const Quat& b) const { return x == b.x && y == b.y && z == b.z && w == b.w; }
    bool operator!=(const Quat& b) const { return !(*this == b); }

    float Dot(const Quat& b) const { return x * b.x + y * b.y + z * b.z + w * b.w; }
    float LengthSquared() const { return Dot(*this); }
    float Length() const { return std::sqrt(Dot(*this)); }
    Quat Conjugate() const { return Quat(-x, -y, -z, w); }
    // conjugate / |q|^2, so unnormalised keys invert correctly. Infinite or
    // NaN for the zero quaternion.
    Quat Inverse() const { return Conjugate() / LengthSquared(); }
    // q <- q / (|q| + eps).
    Quat& Normalize(float eps = 1e-12f) {
        float inv = 1.0f / (Length() + eps);
        x *= inv;
        y *= inv;
        z *= inv;
        w *= inv;
        return *this;
    }

    Quat& LoadIdentity() { return *this = Quat(); }
    // angle in radians; axis of any non-zero length.
    Quat& LoadFromAngleAxis(float angle, const Vec3& axis);
    // The unit quaternion that Mat3::LoadFromQuaternion turns back into m.
    Quat& LoadFromRotationMatrix(const Mat3& m);
    Quat& LoadFromEulerXYZ(float a, float b, float c);

    // Exponential and logarithm for the keyframe interpolators; both leave
    // the vector part unchanged where sin(theta) is too small to divide by.
    Quat Exp() const;
    Quat Log() const;

    float x, y, z, w;
};

inline constexpr Quat Quat::ZERO{0.0f, 0.0f, 0.0f, 0.0f};
inline constexpr Quat Quat::IDENTITY{0.0f, 0.0f, 0.0f, 1.0f};

inline Quat operator*(float s, const Quat& q) { return q * s; }
inline float Dot(const Quat& a, const Quat& b) { return a.Dot(b); }

static_assert(sizeof(Quat) == 4 * sizeof(float), "Quat is four packed floats");
static_assert(std::is_trivially_copyable<Quat>::value, "Quat is a plain value");
