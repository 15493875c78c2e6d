// Local-to-world bookkeeping and transform animation of spatials.
#include "engine/SceneSpatial.h"

#include "engine/Animation.h"
#include "engine/KeyframeSequence.h"

SceneSpatial::SceneSpatial()
    : dirty(true), parent(nullptr), world(Mat4::IDENTITY), normalMatrix(Mat3::IDENTITY),
      prevWorld(Mat4::IDENTITY), lookAtPoint(0.0f, 0.0f, 0.0f), lookAtTarget(nullptr),
      lookAt(false), firstUpdate(true) {
    transform.translation = Vec3(0.0f, 0.0f, 0.0f);
    transform.rotation = Quat(0.0f, 0.0f, 0.0f, 1.0f);
    transform.rotationMatrix = Mat3::IDENTITY;
    transform.scale = Vec3(1.0f, 1.0f, 1.0f);
    transform.matrix = Mat4::IDENTITY;
}

void SceneSpatial::SetParent(const SceneSpatial* p) {
    parent = p;
    dirty = true;
}

void SceneSpatial::SetLookAt(bool enable, const SceneSpatial* target, const Vec3& point) {
    lookAt = enable;
    lookAtTarget = target;
    lookAtPoint = point;
}

void SceneSpatial::UpdateLookAt() {
    if (lookAt) transform.LoadLookAt(lookAtPoint, Vec3::UNIT_Y);
}

void SceneSpatial::Update(float time) {
    // The animations, their sequences and key lists are separate heap
    // objects reached one through the other: asking for each level of all
    // three before evaluating lets their cache misses overlap instead of
    // following one another.
    Animation* const animations[3] = {bindings[P_Rotation], bindings[P_Location],
                                      bindings[P_Scale]};
    const KeyframeSequence* sequences[3] = {nullptr, nullptr, nullptr};
    for (int i = 0; i < 3; ++i)
        if (animations[i]) sequences[i] = animations[i]->sequence;
    for (const KeyframeSequence* sequence : sequences)
        if (sequence) __builtin_prefetch(sequence->keys.Data());
    // Each buffer starts with the current value: an animation without keys
    // writes nothing and leaves it as it is.
    if (Animation* a = bindings[P_Rotation]) {
        Quat& q = transform.rotation;
        float v[4] = {q.x, q.y, q.z, q.w};
        a->GetChannelValues(time, v, 0, 3, 0);
        q = Quat(v[0], v[1], v[2], v[3]);
        transform.rotationMatrix.LoadFromQuaternion(q);
        dirty = true;
    }
    if (Animation* a = bindings[P_Location]) {
        Vec3& t = transform.translation;
        float v[3] = {t.x, t.y, t.z};
        a->GetChannelValues(time, v, 0, 2, 0);
        t = Vec3(v[0], v[1], v[2]);
        dirty = true;
    }
    if (Animation* a = bindings[P_Scale]) {
        Vec3& s = transform.scale;
        float v[3] = {s.x, s.y, s.z};
        a->GetChannelValues(time, v, 0, 2, 0);
        s = Vec3(v[0], v[1], v[2]);
        dirty = true;
    }
}

void SceneSpatial::UpdateWorldTransform() {
    prevWorld = world;
    transform.CalculateComposite(&world);
    if (parent) {
        Mat4 local = world;
        Mat4::MatrixMultiplication(world, parent->world, local);
    }
    // No apparent motion on the first frame.
    if (firstUpdate) {
        prevWorld = world;
        firstUpdate = false;
    }
    normalMatrix = world.GetRotation();
    normalMatrix.LoadInverse();
    normalMatrix.LoadTranspose();
    dirty = false;
}
