// Test helpers for scene graph tests: keyframe animations built in one call,
// and reference matrices computed in double precision, independently of the
// engine's math, to compare engine results with.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/Animation.h"
#include "math/Mat3.h"
#include "math/Mat4.h"

namespace testsupport {

struct AnimKey {
    float time;
    std::vector<float> values;
};

// An animation of one channel with componentCount values per key.
std::unique_ptr<Animation> MakeAnimation(unsigned int componentCount, unsigned int interpolation,
                                         unsigned int repeatMode, float duration,
                                         std::initializer_list<AnimKey> keys);

// Column-major 4x4 in double precision.
struct RefMat4 {
    double m[16];
};
RefMat4 RefIdentity();
RefMat4 RefTranslate(double x, double y, double z);
RefMat4 RefScale(double x, double y, double z);
// Rotation by angle (radians) about a unit axis, counter-clockwise looking
// down the axis towards the origin.
RefMat4 RefRotate(double angle, double x, double y, double z);
RefMat4 RefMul(const RefMat4& a, const RefMat4& b);
// Inverse of an affine matrix with an invertible upper 3x3.
RefMat4 RefInverseAffine(const RefMat4& a);
// Inverse transpose of the upper 3x3, column-major.
std::vector<double> RefNormalMatrix(const RefMat4& a);

// Largest element-wise difference, for assertions with a tolerance.
double MaxDiff(const Mat4& a, const RefMat4& b);
double MaxDiff(const Mat3& a, const std::vector<double>& b);
double MaxDiff(const Mat4& a, const Mat4& b);

}  // namespace testsupport
