// Something with a place in the scene graph: a local transform, a parent and
// the cached world transform with its normal matrix and previous value.
#pragma once

#include "engine/Actor.h"
#include "math/Mat3.h"
#include "math/Mat4.h"
#include "math/Transform.h"
#include "math/Vec3.h"

class SceneSpatial : public Actor {
public:
    SceneSpatial();

    void SetParent(const SceneSpatial* p);
    void SetLookAt(bool enable, const SceneSpatial* target, const Vec3& point);
    // Turns -Z towards lookAtPoint (+Y up) when look-at is on; does not mark dirty.
    void UpdateLookAt();
    // Evaluates the animations bound to rotation, location and scale.
    void Update(float time) override;
    // Recomputes world, normalMatrix and prevWorld; the parent's world must be current.
    void UpdateWorldTransform();

    bool dirty;
    const SceneSpatial* parent;
    Transform transform;
    Mat4 world;
    Mat3 normalMatrix;  // inverse transpose of world's upper 3x3
    Mat4 prevWorld;     // world before its last recomputation
    Vec3 lookAtPoint;
    const SceneSpatial* lookAtTarget;  // stored only
    bool lookAt;
    bool firstUpdate;
};
