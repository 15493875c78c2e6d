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

// Column-major 4x4 in double precision.
struct RefMat4 {
    double m[16];
};
RefMat4 RefTranslate(double x, double y, double z);
RefMat4 RefScale(double x, double y, double z);
// Counter-clockwise by angle (radians) about a unit axis, looking down the axis.
RefMat4 RefRotate(double angle, double x, double y, double z);
RefMat4 RefMul(const RefMat4& a, const RefMat4& b);
double MaxDiff(const Mat4& a, const RefMat4& b);
// Largest deviation of transpose(n) x (upper 3x3 of a) from the identity: zero
// exactly when n is the inverse transpose of a's linear part.
double InverseTransposeError(const Mat3& n, const RefMat4& a);

}  // namespace testsupport
