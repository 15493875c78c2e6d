// Non-inline Mat3 operations: inverse, rotations, look-at.
#include "math/Mat3.h"

#include <cmath>

Mat3& Mat3::LoadInverse() {
    // Cofactors of the first column are the bracketed terms of Det().
    float c0 = m[4] * m[8] - m[7] * m[5];
    float c1 = m[7] * m[2] - m[8] * m[1];
    float c2 = m[1] * m[5] - m[4] * m[2];
    float det = m[0] * c0 + m[3] * c1 + m[6] * c2;
    if (std::fabs(det) < 0.0005f) return LoadIdentity();
    Mat3 r(c0, c1, c2,
           m[6] * m[5] - m[3] * m[8], m[0] * m[8] - m[6] * m[2], m[3] * m[2] - m[0] * m[5],
           m[3] * m[7] - m[6] * m[4], m[6] * m[1] - m[0] * m[7], m[0] * m[4] - m[3] * m[1]);
    for (int i = 0; i < 9; ++i) m[i] = r.m[i] / det;
    return *this;
}

Mat3& Mat3::LoadRotate(float angle, float x, float y, float z) {
    Vec3 axis(x, y, z);
    axis.Normalize(1e-12f);
    return LoadFromAngleAxis(angle, axis);
}

Mat3& Mat3::LoadFromAngleAxis(float angle, const Vec3& axis) {
    float c = std::cos(angle);
    float s = std::sin(angle);
    float t = 1.0f - c;
    float x = axis.x, y = axis.y, z = axis.z;
    Mat3& r = *this;
    r(0, 0) = t * x * x + c;
    r(1, 0) = t * x * y + s * z;
    r(2, 0) = t * x * z - s * y;
    r(0, 1) = t * x * y - s * z;
    r(1, 1) = t * y * y + c;
    r(2, 1) = t * y * z + s * x;
    r(0, 2) = t * x * z + s * y;
    r(1, 2) = t * y * z - s * x;
    r(2, 2) = t * z * z + c;
    return *this;
}

Mat3& Mat3::LoadFromEuler(float a, float b, float c) {
    float ca = std::cos(a), sa = std::sin(a);
    float cb = std::cos(b), sb = std::sin(b);
    float cc = std::cos(c), sc = std::sin(c);
    Mat3 ry(ca, 0.0f, -sa, 0.0f, 1.0f, 0.0f, sa, 0.0f, ca);
    Mat3 rz(cb, sb, 0.0f, -sb, cb, 0.0f, 0.0f, 0.0f, 1.0f);
    Mat3 rx(1.0f, 0.0f, 0.0f, 0.0f, cc, sc, 0.0f, -sc, cc);
    Mat3 yz;
    MatrixMultiplication(yz, ry, rz);
    MatrixMultiplication(*this, yz, rx);
    return *this;
}

Mat3& Mat3::LoadLookAt(const Vec3& eye, const Vec3& target, const Vec3& up) {
    Vec3 f = target - eye;
    f.Normalize(1e-12f);
    Vec3 u0 = up;
    u0.Normalize(1e-12f);
    Vec3 s = f.Cross(u0);
    Vec3 u = s.Cross(f);
    *this = Mat3(s.x, s.y, s.z, u.x, u.y, u.z, -f.x, -f.y, -f.z);
    return *this;
}
