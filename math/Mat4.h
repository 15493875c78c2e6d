// 4x4 float matrix, column-major: element (row r, column c) is m[4c + r], the
// translation is m[12..14]. The sixteen floats go to glUniformMatrix4fv
// untransposed.
#pragma once

#include <type_traits>

#include "math/Mat3.h"
#include "math/Quat.h"
#include "math/Vec3.h"
#include "math/Vec4.h"

class Mat4 {
public:
    // A default matrix is the identity.
    constexpr Mat4()
        : m{1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,
            0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f} {}
    // Arguments in storage order, column by column.
    constexpr Mat4(float m0, float m1, float m2, float m3, float m4, float m5, float m6, float m7,
                   float m8, float m9, float m10, float m11, float m12, float m13, float m14,
                   float m15)
        : m{m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15} {}

    static const Mat4 IDENTITY;

    float& operator()(int row, int col) { return m[4 * col + row]; }
    float operator()(int row, int col) const { return m[4 * col + row]; }
    const float* Data() const { return m; }

    // out = a x b in the column-major sense: b acts on a vector first, then a.
    // out may be a or b.
    static void MatrixMultiplication(Mat4& out, const Mat4& a, const Mat4& b) {
        float r[16];
        for (int c = 0; c < 4; ++c)
            for (int row = 0; row < 4; ++row)
                r[4 * c + row] = a.m[row] * b.m[4 * c] + a.m[4 + row] * b.m[4 * c + 1] +
                                 a.m[8 + row] * b.m[4 * c + 2] + a.m[12 + row] * b.m[4 * c + 3];
        for (int i = 0; i < 16; ++i) out.m[i] = r[i];
    }
    static void MatrixMultiplication(Mat4* out, const Mat4& a, const Mat4& b) {
        MatrixMultiplication(*out, a, b);
    }
    static void MatrixAddition(Mat4& out, const Mat4& a, const Mat4& b) {
        for (int i = 0; i < 16; ++i) out.m[i] = a.m[i] + b.m[i];
    }
    static void MatrixAddition(Mat4* out, const Mat4& a, const Mat4& b) { MatrixAddition(*out, a, b); }
    static void MatrixSubtraction(Mat4& out, const Mat4& a, const Mat4& b) {
        for (int i = 0; i < 16; ++i) out.m[i] = a.m[i] - b.m[i];
    }
    static void MatrixSubtraction(Mat4* out, const Mat4& a, const Mat4& b) {
        MatrixSubtraction(*out, a, b);
    }
    static void ScalarAddition(Mat4& out, float s, const Mat4& a) {
        for (int i = 0; i < 16; ++i) out.m[i] = a.m[i] + s;
    }
    static void ScalarAddition(Mat4* out, float s, const Mat4& a) { ScalarAddition(*out, s, a); }
    static void ScalarMultiplication(Mat4& out, float s, const Mat4& a) {
        for (int i = 0; i < 16; ++i) out.m[i] = a.m[i] * s;
    }
    static void ScalarMultiplication(Mat4* out, float s, const Mat4& a) {
        ScalarMultiplication(*out, s, a);
    }

    Mat4 operator*(const Mat4& b) const {
        Mat4 r;
        MatrixMultiplication(r, *this, b);
        return r;
    }
    Mat4& operator*=(const Mat4& b) {
        MatrixMultiplication(*this, *this, b);
        return *this;
    }
    // The member products read the storage row-wise (the transpose of the
    // column-major matrix times the vector); the free operators with the
    // vector on the left are the column-vector products. Keyframe splines and
    // point curves rely on the Vec4 member exactly as it is.
    Vec3 operator*(const Vec3& v) const {
        return Vec3(m[0] * v.x + m[1] * v.y + m[2] * v.z + m[3],
                    m[4] * v.x + m[5] * v.y + m[6] * v.z + m[7],
                    m[8] * v.x + m[9] * v.y + m[10] * v.z + m[11]);
    }
    Vec4 operator*(const Vec4& v) const {
        return Vec4(m[0] * v.x + m[1] * v.y + m[2] * v.z + m[3] * v.w,
                    m[4] * v.x + m[5] * v.y + m[6] * v.z + m[7] * v.w,
                    m[8] * v.x + m[9] * v.y + m[10] * v.z + m[11] * v.w,
                    m[12] * v.x + m[13] * v.y + m[14] * v.z + m[15] * v.w);
    }
    Mat4 operator+(const Mat4& b) const {
        Mat4 r;
        MatrixAddition(r, *this, b);
        return r;
    }
    Mat4 operator-(const Mat4& b) const {
        Mat4 r;
        MatrixSubtraction(r, *this, b);
        return r;
    }
    Mat4 operator*(float s) const {
        Mat4 r;
        ScalarMultiplication(r, s, *this);
        return r;
    }
    Mat4 operator-() const {
        Mat4 r;
        for (int i = 0; i < 16; ++i) r.m[i] = -m[i];
        return r;
    }
    // Exact comparison: no tolerance, a NaN element makes them unequal.
    bool operator==(const Mat4& b) const {
        for (int i = 0; i < 16; ++i)
            if (!(m[i] == b.m[i])) return false;
        return true;
    }
    bool operator!=(const Mat4& b) const { return !(*this == b); }

    Mat4& LoadIdentity() { return *this = Mat4(); }
    Mat4& LoadTranspose();
    Mat4& LoadTranspose(const Mat4& a) {
        Mat4 t = a;  // a may be *this
        *this = t.LoadTranspose();
        return *this;
    }
    Mat4& LoadScale(float x, float y, float z) {
        *this = Mat4(x, 0.0f, 0.0f, 0.0f, 0.0f, y, 0.0f, 0.0f, 0.0f, 0.0f, z, 0.0f, 0.0f, 0.0f,
                     0.0f, 1.0f);
        return *this;
    }
    Mat4& LoadTranslate(float x, float y, float z) {
        *this = Mat4();
        m[12] = x;
        m[13] = y;
        m[14] = z;
        return *this;
    }
    Vec3 GetTranslation() const { return Vec3(m[12], m[13], m[14]); }

    // Upper-left 3x3.
    Mat3 GetRotation() const {
        return Mat3(m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]);
    }
    // Writes the upper-left 3x3 and leaves the other seven elements.
    void SetRotation(const Mat3& r) {
        m[0] = r.m[0];
        m[1] = r.m[1];
        m[2] = r.m[2];
        m[4] = r.m[3];
        m[5] = r.m[4];
        m[6] = r.m[5];
        m[8] = r.m[6];
        m[9] = r.m[7];
        m[10] = r.m[8];
    }
    // The minor without row i and column j, column-major.
    Mat3 SubMat3(int i, int j) const;
    // By cofactor expansion along the first row.
    float Det() const;
    // Transposed cofactors over determinant; a matrix with |det| < 0.0005
    // becomes the identity instead.
    Mat4& LoadInverse();

    // fovy in degrees. Every element is written.
    Mat4& LoadPerspective(float fovy, float aspect, float zNear, float zFar);
    Mat4& LoadFrustum(float left, float right, float bottom, float top, float zNear, float zFar);
    Mat4& LoadOrtho(float left, float right, float bottom, float top, float zNear, float zFar);
    // LoadOrtho with near -1 and far 1.
    Mat4& LoadOrtho2D(float left, float right, float bottom, float top);

    // Angle in radians about an axis that is normalised first.
    Mat4& LoadRotate(float angle, float x, float y, float z);
    // Mat3::LoadFromQuaternion in the upper-left 3x3, m[15] = 1, 0 elsewhere.
    Mat4& LoadFromQuaternion(const Quat& q) {
        Mat3 r;
        r.LoadFromQuaternion(q);
        *this = Mat4();
        SetRotation(r);
        return *this;
    }
    // View matrix (world to eye). The side vector is not renormalised: an up
    // that is not perpendicular to the view direction shortens rows 0 and 1.
    Mat4& LoadLookAt(const Vec3& eye, const Vec3& center, const Vec3& up);

    float m[16];
};

inline constexpr Mat4 Mat4::IDENTITY{};

// Transforms the point p (w = 1) by the column-major matrix.
inline Vec3 operator*(Vec3 p, const Mat4& m) {
    const float* a = m.m;
    return Vec3(a[0] * p.x + a[4] * p.y + a[8] * p.z + a[12],
                a[1] * p.x + a[5] * p.y + a[9] * p.z + a[13],
                a[2] * p.x + a[6] * p.y + a[10] * p.z + a[14]);
}
// Column-major matrix times the column vector v.
inline Vec4 operator*(Vec4 v, const Mat4& m) {
    const float* a = m.m;
    return Vec4(a[0] * v.x + a[4] * v.y + a[8] * v.z + a[12] * v.w,
                a[1] * v.x + a[5] * v.y + a[9] * v.z + a[13] * v.w,
                a[2] * v.x + a[6] * v.y + a[10] * v.z + a[14] * v.w,
                a[3] * v.x + a[7] * v.y + a[11] * v.z + a[15] * v.w);
}
inline Mat4 operator*(float s, const Mat4& a) { return a * s; }
inline Mat4 operator+(float s, const Mat4& a) {
    Mat4 r;
    Mat4::ScalarAddition(r, s, a);
    return r;
}
inline Mat4 operator-(float s, const Mat4& a) {
    Mat4 r;
    for (int i = 0; i < 16; ++i) r.m[i] = s - a.m[i];
    return r;
}
inline Mat4 operator/(float s, const Mat4& a) {
    Mat4 r;
    for (int i = 0; i < 16; ++i) r.m[i] = s / a.m[i];
    return r;
}

static_assert(sizeof(Mat4) == 16 * sizeof(float), "Mat4 is handed to GL as sixteen floats");
static_assert(std::is_trivially_copyable<Mat4>::value, "Mat4 is a plain value");
