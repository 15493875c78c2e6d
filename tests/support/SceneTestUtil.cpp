// Reference matrices and animation builders for scene graph tests.
#include "support/SceneTestUtil.h"

#include <cmath>

#include "engine/KeyframeSequence.h"

namespace testsupport {

std::unique_ptr<Animation> MakeAnimation(unsigned int componentCount, unsigned int interpolation,
                                         unsigned int repeatMode, float duration,
                                         std::initializer_list<AnimKey> keys) {
    std::unique_ptr<Animation> animation(new Animation());
    KeyframeSequence* sequence = new KeyframeSequence(componentCount);
    for (const AnimKey& key : keys) sequence->AddKey(key.time, key.values.data());
    sequence->duration = duration;
    animation->sequence = sequence;
    animation->interpolation = interpolation;
    animation->repeatMode = repeatMode;
    return animation;
}

RefMat4 RefIdentity() {
    RefMat4 r = {};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0;
    return r;
}

RefMat4 RefTranslate(double x, double y, double z) {
    RefMat4 r = RefIdentity();
    r.m[12] = x;
    r.m[13] = y;
    r.m[14] = z;
    return r;
}

RefMat4 RefScale(double x, double y, double z) {
    RefMat4 r = RefIdentity();
    r.m[0] = x;
    r.m[5] = y;
    r.m[10] = z;
    return r;
}

RefMat4 RefRotate(double angle, double x, double y, double z) {
    // Rodrigues: R = cI + s[k]x + (1 - c)kk^T, written out per element (row, column).
    double c = std::cos(angle), s = std::sin(angle), t = 1.0 - c;
    double r[3][3] = {
        {t * x * x + c, t * x * y - s * z, t * x * z + s * y},
        {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
        {t * x * z - s * y, t * y * z + s * x, t * z * z + c},
    };
    RefMat4 out = RefIdentity();
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) out.m[4 * col + row] = r[row][col];
    return out;
}

RefMat4 RefMul(const RefMat4& a, const RefMat4& b) {
    RefMat4 r = {};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += a.m[4 * k + row] * b.m[4 * col + k];
            r.m[4 * col + row] = sum;
        }
    return r;
}

namespace {

// Inverse of a row-major 3x3 by the adjugate.
void Inverse3(const double a[3][3], double out[3][3]) {
    double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                 a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                 a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    out[0][0] = (a[1][1] * a[2][2] - a[1][2] * a[2][1]) / det;
    out[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) / det;
    out[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) / det;
    out[1][0] = (a[1][2] * a[2][0] - a[1][0] * a[2][2]) / det;
    out[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) / det;
    out[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) / det;
    out[2][0] = (a[1][0] * a[2][1] - a[1][1] * a[2][0]) / det;
    out[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) / det;
    out[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) / det;
}

void Upper3(const RefMat4& a, double out[3][3]) {
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) out[row][col] = a.m[4 * col + row];
}

}  // namespace

RefMat4 RefInverseAffine(const RefMat4& a) {
    double r[3][3], inv[3][3];
    Upper3(a, r);
    Inverse3(r, inv);
    RefMat4 out = RefIdentity();
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) out.m[4 * col + row] = inv[row][col];
        out.m[12 + row] =
            -(inv[row][0] * a.m[12] + inv[row][1] * a.m[13] + inv[row][2] * a.m[14]);
    }
    return out;
}

std::vector<double> RefNormalMatrix(const RefMat4& a) {
    double r[3][3], inv[3][3];
    Upper3(a, r);
    Inverse3(r, inv);
    // Element (row, col) of the transpose is inv[col][row]; stored column-major.
    std::vector<double> out(9);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) out[3 * col + row] = inv[col][row];
    return out;
}

double MaxDiff(const Mat4& a, const RefMat4& b) {
    double d = 0.0;
    for (int i = 0; i < 16; ++i) d = std::fmax(d, std::fabs(a.m[i] - b.m[i]));
    return d;
}

double MaxDiff(const Mat3& a, const std::vector<double>& b) {
    double d = 0.0;
    for (int i = 0; i < 9; ++i) d = std::fmax(d, std::fabs(a.m[i] - b[i]));
    return d;
}

double MaxDiff(const Mat4& a, const Mat4& b) {
    double d = 0.0;
    for (int i = 0; i < 16; ++i) d = std::fmax(d, std::fabs(double(a.m[i]) - b.m[i]));
    return d;
}

}  // namespace testsupport
