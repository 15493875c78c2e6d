// Helpers for scene graph tests: keyframe animations built in one call,
// scene files converted, reference matrices in double precision, independent
// of the engine's math, and a whole scene written out for comparison.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/Animation.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "io/ROMSource.h"
#include "m3g/M3GLoader.h"
#include "math/Mat3.h"
#include "math/Mat4.h"

namespace testsupport {

// A scene file loaded and converted by a loader of its own, kept with its
// records; what that printed on stdout and how long it took.
struct ConvertedScene {
    explicit ConvertedScene(const std::vector<unsigned char>& file);
    ~ConvertedScene() { delete scene; }
    SceneNode* NodeWithId(unsigned int id) const;
    ROMSource source;
    M3GLoader loader;
    Scene* scene;
    std::string printed;
    double seconds;
};

template <typename T>
std::vector<T*> All(Scene* scene) {
    std::vector<T*> out;
    for (SceneObject* o : scene->objects)
        if (T* t = dynamic_cast<T*>(o)) out.push_back(t);
    return out;
}
inline SceneNode* NodeWithId(Scene* scene, unsigned int id) {
    return static_cast<SceneNode*>(scene->Find(id, SceneObject::SOT_SceneNode));
}

struct AnimKey {
    float time;
    std::vector<float> values;
};
// One channel of componentCount values per key.
std::unique_ptr<Animation> MakeAnimation(unsigned int componentCount, unsigned int interpolation,
                                         unsigned int repeatMode, float duration,
                                         std::initializer_list<AnimKey> keys);

// Every object of a scene, a line each in list order, with its values and
// contents (large blocks as a length and a hash); objects it refers to appear
// as their place in the list. Two scenes read alike when they hold the same
// objects, values and links.
std::string DescribeScene(Scene* scene);

// N x N in double precision, a[row][column].
template <int N>
struct RefMat {
    double a[N][N];
};
using RefMat3 = RefMat<3>;
using RefMat4 = RefMat<4>;
RefMat3 Ref(const Mat3& m);  // of the engine's column-major floats
RefMat4 Ref(const Mat4& m);
template <int N>
RefMat<N> RefMul(const RefMat<N>& x, const RefMat<N>& y) {
    RefMat<N> r{};
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j)
            for (int k = 0; k < N; ++k) r.a[i][j] += x.a[i][k] * y.a[k][j];
    return r;
}
RefMat4 RefTranslate(double x, double y, double z);
RefMat4 RefScale(double x, double y, double z);
// Counter-clockwise by angle (radians) about an axis of any length, looking
// down the axis (Rodrigues); as a 3x3 and as a 4x4.
RefMat3 RefRotation(double angle, double x, double y, double z);
RefMat4 RefRotate(double angle, double x, double y, double z);
double MaxDiff(const Mat4& a, const RefMat4& b);
// Largest deviation of transpose(n) x (upper 3x3 of a) from the identity: zero
// exactly when n is the inverse transpose of a's linear part.
double InverseTransposeError(const Mat3& n, const RefMat4& a);

}  // namespace testsupport
