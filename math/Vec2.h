// Two-component float vector: texture coordinates and screen-space positions.
#pragma once

#include <cmath>
#include <type_traits>

class Vec2 {
public:
    constexpr Vec2() : x(0.0f), y(0.0f) {}
    constexpr Vec2(float x_, float y_) : x(x_), y(y_) {}

    static const Vec2 ZERO;
    static const Vec2 ONE;
    static const Vec2 UNIT_X;
    static const Vec2 UNIT_Y;

    float& operator[](int i) { return i == 0 ? x : y; }
    float operator[](int i) const { return i == 0 ? x : y; }
    const float* Data() const { return &x; }

    Vec2 operator+(const Vec2& b) const { return Vec2(x + b.x, y + b.y); }
    Vec2 operator-(const Vec2& b) const { return Vec2(x - b.x, y - b.y); }
    Vec2 operator-() const { return Vec2(-x, -y); }
    Vec2 operator*(float s) const { return Vec2(x * s, y * s); }
    Vec2 operator/(float s) const { return Vec2(x / s, y / s); }
    Vec2& operator+=(const Vec2& b) { x += b.x; y += b.y; return *this; }
    Vec2& operator-=(const Vec2& b) { x -= b.x; y -= b.y; return *this; }
    Vec2& operator*=(float s) { x *= s; y *= s; return *this; }
    Vec2& operator/=(float s) { x /= s; y /= s; return *this; }
    // Exact comparison: no tolerance, NaN is unequal to everything.
    bool operator==(const Vec2& b) const { return x == b.x && y == b.y; }
    bool operator!=(const Vec2& b) const { return !(*this == b); }

    float Dot(const Vec2& b) const { return x * b.x + y * b.y; }
    float LengthSquared() const { return x * x + y * y; }
    float Length() const { return std::sqrt(x * x + y * y); }

    // v <- v / (|v| + eps). No zero test: eps keeps the zero vector zero.
    Vec2& Normalize(float eps = 1e-12f) {
        float inv = 1.0f / (Length() + eps);
        x *= inv;
        y *= inv;
        return *this;
    }
    Vec2 Normalized(float eps = 1e-12f) const { return Vec2(*this).Normalize(eps); }

    // Gram-Schmidt on pair[0], pair[1]: both unit afterwards, pair[1] made
    // perpendicular to pair[0].
    static void Orthonormalize(Vec2* pair);

    float x, y;
};

inline constexpr Vec2 Vec2::ZERO{0.0f, 0.0f};
inline constexpr Vec2 Vec2::ONE{1.0f, 1.0f};
inline constexpr Vec2 Vec2::UNIT_X{1.0f, 0.0f};
inline constexpr Vec2 Vec2::UNIT_Y{0.0f, 1.0f};

inline Vec2 operator*(float s, const Vec2& v) { return v * s; }
inline float Dot(const Vec2& a, const Vec2& b) { return a.Dot(b); }

static_assert(sizeof(Vec2) == 2 * sizeof(float), "Vec2 is handed to GL as two floats");
static_assert(std::is_trivially_copyable<Vec2>::value, "Vec2 is stored in Vector");
