// 3x3 float matrix, column-major: element (row r, column c) is m[3c + r].
// The nine floats go to glUniformMatrix3fv untransposed.
#pragma once

#include <type_traits>

#include "math/Quat.h"
#include "math/Vec3.h"

class Mat3 {
public:
    // A default matrix is the identity.
    constexpr Mat3() : m{1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f} {}
    // Arguments in storage order, column by column.
    constexpr Mat3(float m0, float m1, float m2, float m3, float m4, float m5, float m6,
                   float m7, float m8)
        : m{m0, m1, m2, m3, m4, m5, m6, m7, m8} {}

    static const Mat3 IDENTITY;

    float& operator()(int row, int col) { return m[3 * col + row]; }
    float operator()(int row, int col) const { return m[3 * col + row]; }
    const float* Data() const { return m; }

    // out = a x b in the column-major sense. out may be a or b.
    static void MatrixMultiplication(Mat3& out, const Mat3& a, const Mat3& b) {
        float r[9];
        for (int c = 0; c < 3; ++c)
            for (int row = 0; row < 3; ++row)
                r[3 * c + row] = a.m[row] * b.m[3 * c] + a.m[3 + row] * b.m[3 * c + 1] +
                                 a.m[6 + row] * b.m[3 * c + 2];
        for (int i = 0; i < 9; ++i) out.m[i] = r[i];
    }
    static void MatrixMultiplication(Mat3* out, const Mat3& a, const Mat3& b) {
        MatrixMultiplication(*out, a, b);
    }
    static void MatrixAddition(Mat3& out, const Mat3& a, const Mat3& b) {
        for (int i = 0; i < 9; ++i) out.m[i] = a.m[i] + b.m[i];
    }
    static void MatrixAddition(Mat3* out, const Mat3& a, const Mat3& b) { MatrixAddition(*out, a, b); }
    static void MatrixSubtraction(Mat3& out, const Mat3& a, const Mat3& b) {
        for (int i = 0; i < 9; ++i) out.m[i] = a.m[i] - b.m[i];
    }
    static void MatrixSubtraction(Mat3* out, const Mat3& a, const Mat3& b) {
        MatrixSubtraction(*out, a, b);
    }
    static void ScalarAddition(Mat3& out, float s, const Mat3& a) {
        for (int i = 0; i < 9; ++i) out.m[i] = a.m[i] + s;
    }
    static void ScalarAddition(Mat3* out, float s, const Mat3& a) { ScalarAddition(*out, s, a); }
    static void ScalarMultiplication(Mat3& out, float s, const Mat3& a) {
        for (int i = 0; i < 9; ++i) out.m[i] = a.m[i] * s;
    }
    static void ScalarMultiplication(Mat3* out, float s, const Mat3& a) {
        ScalarMultiplication(*out, s, a);
    }

    Mat3 operator*(const Mat3& b) const {
        Mat3 r;
        MatrixMultiplication(r, *this, b);
        return r;
    }
    Mat3& operator*=(const Mat3& b) {
        MatrixMultiplication(*this, *this, b);
        return *this;
    }
    // Matrix times column vector. (The free operator with the vector on the
    // left is the row-vector product.)
    Vec3 operator*(const Vec3& v) const {
        return Vec3(m[0] * v.x + m[3] * v.y + m[6] * v.z, m[1] * v.x + m[4] * v.y + m[7] * v.z,
                    m[2] * v.x + m[5] * v.y + m[8] * v.z);
    }
    Mat3 operator+(const Mat3& b) const {
        Mat3 r;
        MatrixAddition(r, *this, b);
        return r;
    }
    Mat3 operator-(const Mat3& b) const {
        Mat3 r;
        MatrixSubtraction(r, *this, b);
        return r;
    }
    Mat3 operator*(float s) const {
        Mat3 r;
        ScalarMultiplication(r, s, *this);
        return r;
    }
    Mat3 operator-() const {
        Mat3 r;
        for (int i = 0; i < 9; ++i) r.m[i] = -m[i];
        return r;
    }
    // Exact comparison: no tolerance, a NaN element makes them unequal.
    bool operator==(const Mat3& b) const {
        for (int i = 0; i < 9; ++i)
            if (!(m[i] == b.m[i])) return false;
        return true;
    }
    bool operator!=(const Mat3& b) const { return !(*this == b); }

    Mat3& LoadIdentity() { return *this = Mat3(); }
    Mat3& LoadTranspose() {
        Swap(1, 3);
        Swap(2, 6);
        Swap(5, 7);
        return *this;
    }
    Mat3& LoadTranspose(const Mat3& a) {
        Mat3 t = a;  // a may be *this
        *this = t.LoadTranspose();
        return *this;
    }
    Mat3& LoadScale(float x, float y, float z) {
        *this = Mat3(x, 0.0f, 0.0f, 0.0f, y, 0.0f, 0.0f, 0.0f, z);
        return *this;
    }

    // Expanded along the first column.
    float Det() const {
        return m[0] * (m[4] * m[8] - m[7] * m[5]) + m[3] * (m[7] * m[2] - m[8] * m[1]) +
               m[6] * (m[1] * m[5] - m[4] * m[2]);
    }
    // Adjugate over determinant; a matrix with |det| < 0.0005 becomes the
    // identity instead.
    Mat3& LoadInverse();

    // Angles in radians; positive turns counter-clockwise looking down the
    // axis toward the origin. LoadRotate normalises the axis first,
    // LoadFromAngleAxis expects it unit length.
    Mat3& LoadRotate(float angle, float x, float y, float z);
    Mat3& LoadFromAngleAxis(float angle, const Vec3& axis);
    // Ry(a) * Rz(b) * Rx(c): the X turn applies to a vector first.
    Mat3& LoadFromEuler(float a, float b, float c);
    // q is taken as unit. Quat::ZERO gives the identity.
    Mat3& LoadFromQuaternion(const Quat& q) {
        float x = q.x, y = q.y, z = q.z, w = q.w;
        m[0] = 1.0f - 2.0f * (y * y + z * z);
        m[1] = 2.0f * (x * y + z * w);
        m[2] = 2.0f * (x * z - y * w);
        m[3] = 2.0f * (x * y - z * w);
        m[4] = 1.0f - 2.0f * (z * z + x * x);
        m[5] = 2.0f * (y * z + x * w);
        m[6] = 2.0f * (x * z + y * w);
        m[7] = 2.0f * (y * z - x * w);
        m[8] = 1.0f - 2.0f * (x * x + y * y);
        return *this;
    }
    // Orientation of an object at eye whose -Z axis points at target: columns
    // side, up, -forward. The side vector is not renormalised, so an up that
    // is not perpendicular to the view direction shortens the first two
    // columns.
    Mat3& LoadLookAt(const Vec3& eye, const Vec3& target, const Vec3& up);

    float m[9];

private:
    void Swap(int i, int j) {
        float t = m[i];
        m[i] = m[j];
        m[j] = t;
    }
};

inline constexpr Mat3 Mat3::IDENTITY{};

// Row vector times matrix (the transpose of Mat3::operator*(const Vec3&)).
inline Vec3 operator*(Vec3 v, const Mat3& m) {
    return Vec3(m.m[0] * v.x + m.m[1] * v.y + m.m[2] * v.z, m.m[3] * v.x + m.m[4] * v.y + m.m[5] * v.z,
                m.m[6] * v.x + m.m[7] * v.y + m.m[8] * v.z);
}
inline Mat3 operator*(float s, const Mat3& a) { return a * s; }
inline Mat3 operator+(float s, const Mat3& a) {
    Mat3 r;
    Mat3::ScalarAddition(r, s, a);
    return r;
}
inline Mat3 operator-(float s, const Mat3& a) {
    Mat3 r;
    for (int i = 0; i < 9; ++i) r.m[i] = s - a.m[i];
    return r;
}
inline Mat3 operator/(float s, const Mat3& a) {
    Mat3 r;
    for (int i = 0; i < 9; ++i) r.m[i] = s / a.m[i];
    return r;
}

static_assert(sizeof(Mat3) == 9 * sizeof(float), "Mat3 is handed to GL as nine floats");
static_assert(std::is_trivially_copyable<Mat3>::value, "Mat3 is a plain value");
