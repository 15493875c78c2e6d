// Animation builder and double-precision reference matrices for scene tests.
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

RefMat4 RefScale(double x, double y, double z) {
    return RefMat4{{x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1}};
}

RefMat4 RefTranslate(double x, double y, double z) {
    return RefMat4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}};
}

RefMat4 RefRotate(double angle, double x, double y, double z) {
    // Rodrigues: R = cI + s[k]x + (1 - c)kk^T, by (row, column).
    double c = std::cos(angle), s = std::sin(angle), t = 1.0 - c;
    double r[3][3] = {
        {t * x * x + c, t * x * y - s * z, t * x * z + s * y},
        {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
        {t * x * z - s * y, t * y * z + s * x, t * z * z + c},
    };
    RefMat4 out = RefScale(1, 1, 1);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) out.m[4 * col + row] = r[row][col];
    return out;
}

RefMat4 RefMul(const RefMat4& a, const RefMat4& b) {
    RefMat4 r = {};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            for (int k = 0; k < 4; ++k) r.m[4 * col + row] += a.m[4 * k + row] * b.m[4 * col + k];
    return r;
}

double MaxDiff(const Mat4& a, const RefMat4& b) {
    double d = 0.0;
    for (int i = 0; i < 16; ++i) d = std::fmax(d, std::fabs(a.m[i] - b.m[i]));
    return d;
}

double InverseTransposeError(const Mat3& n, const RefMat4& a) {
    double d = 0.0;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            double sum = 0.0;
            for (int k = 0; k < 3; ++k) sum += double(n.m[3 * row + k]) * a.m[4 * col + k];
            d = std::fmax(d, std::fabs(sum - (row == col ? 1.0 : 0.0)));
        }
    return d;
}

}  // namespace testsupport
