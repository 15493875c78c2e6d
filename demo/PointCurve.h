// A stream of particles drawn as points, travelling along a Hermite spline
// through control nodes evaluated in the space of the curve's own node.
#pragma once

#include "demo/Actor.h"
#include "engine/Mesh.h"
#include "engine/SceneNode.h"
#include "math/Types.h"
#include "math/Vec3.h"

class SceneObject;

namespace Demo {

class Node;

class PointCurve : public Actor {
public:
    // Bounds the position and parameter arrays allocated from a script's
    // count (48 MB of positions).
    static constexpr unsigned int kMaxCount = 1u << 22;

    // A count above kMaxCount is reported and cut to it.
    explicit PointCurve(unsigned int count);
    // Deletes the created control nodes and the parameters.
    ~PointCurve() override;

    static PointCurve* New(unsigned int count);

    // A new handle on the curve's node each call.
    Node* GetNode();
    // The point becomes a child of the curve's node and the next control
    // node. Null is reported and ignored.
    void AddPoint(SceneNode* point);
    void AddPoint(Node* point);
    Node* CreatePoint(float x, float y, float z);
    // speed: parameter advance per second (1 = the whole curve).
    void SetSpeed(float speed, float jitter);
    void SetOffsetRand(float x, float y, float z);
    void Distribute(float spread);
    // time: part-local milliseconds.
    void Update(float time) override;
    // The position at chord distance t along the curve of the last update.
    // A curve without segments, or t = 0 exactly, gives the first control
    // point (the curve's origin without any); the random offset applies as
    // everywhere.
    void CalculatePosition(float t, float* out);
    float Rand(float a, float b);
    // Into [0, 1], as repeated steps of 1 would, without stepping; a
    // non-finite value becomes 0.
    static float Wrap(float p);

    SceneNode node;  // the curve's space; control nodes hang under it
    Mesh mesh;       // count points, positions re-sent every update
    float lastTime;
    unsigned int count;
    float speed;
    float speedJitter;
    Vec3 offsetRand;
    Vector<SceneNode*> points;       // not owned
    Vector<Vec3> controlPoints;      // of the last update, in node space
    Vector<float> segmentLengths;    // chord lengths of the last update
    Vector<SceneObject*> created;    // owned: the nodes CreatePoint made
    float* positions;  // 3 x count, owned by the mesh's vertex array
    float* params;     // count, in [0, 1], owned
};

}  // namespace Demo
