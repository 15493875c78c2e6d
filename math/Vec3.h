// Three-component float vector: positions, directions, normals, scales.
#pragma once

#include <cmath>
#include <type_traits>

class Vec3 {
public:
    constexpr Vec3() : x(0.0f), y(0.0f), z(0.0f) {}
    constexpr Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    static const Vec3 ZERO;
    static const Vec3 ONE;
    static const Vec3 UNIT_X;
    static const Vec3 UNIT_Y;
    static const Vec3 UNIT_Z;

    // 0 x, 1 y, anything else z.
    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    const float* Data() const { return &x; }

    Vec3 operator+(const Vec3& b) const { return Vec3(x + b.x, y + b.y, z + b.z); }
    Vec3 operator-(const Vec3& b) const { return Vec3(x - b.x, y - b.y, z - b.z); }
    Vec3 operator-() const { return Vec3(-x, -y, -z); }
    Vec3 operator*(float s) const { return Vec3(x * s, y * s, z * s); }
    Vec3 operator/(float s) const { return Vec3(x / s, y / s, z / s); }
    Vec3& operator+=(const Vec3& b) { x += b.x; y += b.y; z += b.z; return *this; }
    Vec3& operator-=(const Vec3& b) { x -= b.x; y -= b.y; z -= b.z; return *this; }
    Vec3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
    Vec3& operator/=(float s) { x /= s; y /= s; z /= s; return *this; }
    // Exact comparison: no tolerance, NaN is unequal to everything.
    bool operator==(const Vec3& b) const { return x == b.x && y == b.y && z == b.z; }
    bool operator!=(const Vec3& b) const { return !(*this == b); }

    float Dot(const Vec3& b) const { return x * b.x + y * b.y + z * b.z; }
    Vec3 Cross(const Vec3& b) const {
        return Vec3(y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x);
    }
    float LengthSquared() const { return x * x + y * y + z * z; }
    float Length() const { return std::sqrt(x * x + y * y + z * z); }

    // v <- v / (|v| + eps). No zero test: eps keeps the zero vector zero.
    Vec3& Normalize(float eps = 1e-12f) {
        float inv = 1.0f / (Length() + eps);
        x *= inv;
        y *= inv;
        z *= inv;
        return *this;
    }
    Vec3 Normalized(float eps = 1e-12f) const { return Vec3(*this).Normalize(eps); }

    // Angle to b in radians, 0..pi. NaN when either vector is zero.
    float Angle(const Vec3& b) const;

    float x, y, z;
};

inline constexpr Vec3 Vec3::ZERO{0.0f, 0.0f, 0.0f};
inline constexpr Vec3 Vec3::ONE{1.0f, 1.0f, 1.0f};
inline constexpr Vec3 Vec3::UNIT_X{1.0f, 0.0f, 0.0f};
inline constexpr Vec3 Vec3::UNIT_Y{0.0f, 1.0f, 0.0f};
inline constexpr Vec3 Vec3::UNIT_Z{0.0f, 0.0f, 1.0f};

inline Vec3 operator*(float s, const Vec3& v) { return v * s; }
inline float Dot(const Vec3& a, const Vec3& b) { return a.Dot(b); }
inline Vec3 Cross(const Vec3& a, const Vec3& b) { return a.Cross(b); }

static_assert(sizeof(Vec3) == 3 * sizeof(float), "Vec3 is handed to GL as three floats");
static_assert(std::is_trivially_copyable<Vec3>::value, "Vec3 is stored in Vector");
