// Four-component float vector: colours, homogeneous points, shader parameters.
#pragma once

#include <cmath>
#include <type_traits>

#include "math/Vec3.h"

class Vec4 {
public:
    constexpr Vec4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    constexpr Vec4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    constexpr Vec4(const Vec3& v, float w_) : x(v.x), y(v.y), z(v.z), w(w_) {}

    static const Vec4 ZERO;
    static const Vec4 ONE;
    static const Vec4 UNIT_X;
    static const Vec4 UNIT_Y;
    static const Vec4 UNIT_Z;
    static const Vec4 UNIT_W;

    // 0 x, 1 y, 2 z, anything else w.
    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : (i == 2 ? z : w)); }
    const float* Data() const { return &x; }
    Vec3 GetXYZ() const { return Vec3(x, y, z); }

    Vec4 operator+(const Vec4& b) const { return Vec4(x + b.x, y + b.y, z + b.z, w + b.w); }
    Vec4 operator-(const Vec4& b) const { return Vec4(x - b.x, y - b.y, z - b.z, w - b.w); }
    Vec4 operator-() const { return Vec4(-x, -y, -z, -w); }
    Vec4 operator*(float s) const { return Vec4(x * s, y * s, z * s, w * s); }
    Vec4 operator/(float s) const { return Vec4(x / s, y / s, z / s, w / s); }
    Vec4& operator+=(const Vec4& b) { x += b.x; y += b.y; z += b.z; w += b.w; return *this; }
    Vec4& operator-=(const Vec4& b) { x -= b.x; y -= b.y; z -= b.z; w -= b.w; return *this; }
    Vec4& operator*=(float s) { x *= s; y *= s; z *= s; w *= s; return *this; }
    Vec4& operator/=(float s) { x /= s; y /= s; z /= s; w /= s; return *this; }
    // Exact comparison: no tolerance, NaN is unequal to everything.
    bool operator==(const Vec4& b) const { return x == b.x && y == b.y && z == b.z && w == b.w; }
    bool operator!=(const Vec4& b) const { return !(*this == b); }

    float Dot(const Vec4& b) const { return x * b.x + y * b.y + z * b.z + w * b.w; }
    float LengthSquared() const { return Dot(*this); }
    float Length() const { return std::sqrt(Dot(*this)); }

    // v <- v / (|v| + eps), as for Vec3.
    Vec4& Normalize(float eps = 1e-12f);

    float x, y, z, w;
};

inline constexpr Vec4 Vec4::ZERO{0.0f, 0.0f, 0.0f, 0.0f};
inline constexpr Vec4 Vec4::ONE{1.0f, 1.0f, 1.0f, 1.0f};
inline constexpr Vec4 Vec4::UNIT_X{1.0f, 0.0f, 0.0f, 0.0f};
inline constexpr Vec4 Vec4::UNIT_Y{0.0f, 1.0f, 0.0f, 0.0f};
inline constexpr Vec4 Vec4::UNIT_Z{0.0f, 0.0f, 1.0f, 0.0f};
inline constexpr Vec4 Vec4::UNIT_W{0.0f, 0.0f, 0.0f, 1.0f};

inline Vec4 operator*(float s, const Vec4& v) { return v * s; }
inline float Dot(const Vec4& a, const Vec4& b) { return a.Dot(b); }

static_assert(sizeof(Vec4) == 4 * sizeof(float), "Vec4 is handed to GL as four floats");
static_assert(std::is_trivially_copyable<Vec4>::value, "Vec4 is stored in Vector");
