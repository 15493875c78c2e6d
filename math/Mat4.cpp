// Non-inline Mat4 operations: inverse, projections, rotations, look-at.
#include "math/Mat4.h"

#include <cmath>

Mat4& Mat4::LoadTranspose() {
    for (int c = 1; c < 4; ++c)
        for (int r = 0; r < c; ++r) {
            float t = m[4 * c + r];
            m[4 * c + r] = m[4 * r + c];
            m[4 * r + c] = t;
        }
    return *this;
}

Mat3 Mat4::SubMat3(int i, int j) const {
    Mat3 r;
    int k = 0;
    for (int c = 0; c < 4; ++c) {
        if (c == j) continue;
        for (int row = 0; row < 4; ++row) {
            if (row == i) continue;
            r.m[k++] = m[4 * c + row];
        }
    }
    return r;
}

float Mat4::Det() const {
    float det = 0.0f;
    for (int j = 0; j < 4; ++j) {
        float term = m[4 * j] * SubMat3(0, j).Det();
        det += (j & 1) ? -term : term;
    }
    return det;
}

Mat4& Mat4::LoadInverse() {
    float det = Det();
    if (std::fabs(det) < 0.0005f) return LoadIdentity();
    const Mat4 old = *this;
    // Writing cofactor (i, j) to element (row j, column i) transposes the
    // cofactor matrix, which is what the inverse needs.
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float cof = old.SubMat3(i, j).Det();
            if ((i + j) & 1) cof = -cof;
            m[4 * i + j] = cof / det;
        }
    return *this;
}

Mat4& Mat4::LoadPerspective(float fovy, float aspect, float zNear, float zFar) {
    const double pi = 3.141592653589793;
    double f = 1.0 / std::tan(0.5 * double(fovy) * pi / 180.0);
    double n = zNear, fa = zFar;
    *this = Mat4(float(f / aspect), 0.0f, 0.0f, 0.0f,
                 0.0f, float(f), 0.0f, 0.0f,
                 0.0f, 0.0f, float((n + fa) / (n - fa)), -1.0f,
                 0.0f, 0.0f, float(2.0 * n * fa / (n - fa)), 0.0f);
    return *this;
}

Mat4& Mat4::LoadFrustum(float left, float right, float bottom, float top, float zNear,
                        float zFar) {
    double l = left, r = right, b = bottom, t = top, n = zNear, f = zFar;
    *this = Mat4(float(2.0 * n / (r - l)), 0.0f, 0.0f, 0.0f,
                 0.0f, float(2.0 * n / (t - b)), 0.0f, 0.0f,
                 float((r + l) / (r - l)), float((t + b) / (t - b)), float(-(n + f) / (f - n)), -1.0f,
                 0.0f, 0.0f, float(-2.0 * n * f / (f - n)), 0.0f);
    return *this;
}

Mat4& Mat4::LoadOrtho(float left, float right, float bottom, float top, float zNear,
                      float zFar) {
    double l = left, r = right, b = bottom, t = top, n = zNear, f = zFar;
    *this = Mat4(float(2.0 / (r - l)), 0.0f, 0.0f, 0.0f,
                 0.0f, float(2.0 / (t - b)), 0.0f, 0.0f,
                 0.0f, 0.0f, float(-2.0 / (f - n)), 0.0f,
                 float(-(r + l) / (r - l)), float(-(t + b) / (t - b)), float(-(f + n) / (f - n)), 1.0f);
    return *this;
}

Mat4& Mat4::LoadOrtho2D(float left, float right, float bottom, float top) {
    return LoadOrtho(left, right, bottom, top, -1.0f, 1.0f);
}

Mat4& Mat4::LoadRotate(float angle, float x, float y, float z) {
    Mat3 r;
    r.LoadRotate(angle, x, y, z);
    *this = Mat4();
    SetRotation(r);
    return *this;
}

Mat4& Mat4::LoadLookAt(const Vec3& eye, const Vec3& center, const Vec3& up) {
    Vec3 f = center - eye;
    f.Normalize(1e-12f);
    Vec3 u0 = up;
    u0.Normalize(1e-12f);
    Vec3 s = f.Cross(u0);
    Vec3 u = s.Cross(f);
    Mat4 rot(s.x, u.x, -f.x, 0.0f,
             s.y, u.y, -f.y, 0.0f,
             s.z, u.z, -f.z, 0.0f,
             0.0f, 0.0f, 0.0f, 1.0f);
    Mat4 move;
    move.LoadTranslate(-eye.x, -eye.y, -eye.z);
    MatrixMultiplication(*this, rot, move);
    return *this;
}
