// Point curves: particle parameters advanced along a Hermite spline through
// control nodes, evaluated in the curve node's space every frame.
#include "demo/PointCurve.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo/Engine.h"
#include "demo/Node.h"
#include "engine/AttributeArray.h"
#include "engine/ResourceInitializer.h"
#include "engine/VertexBatch.h"
#include "math/Mat4.h"
#include "math/Quat.h"
#include "math/Vec4.h"

namespace Demo {

PointCurve::PointCurve(unsigned int count_)
    : node(Vec3::ZERO, Quat::ZERO, nullptr, nullptr, nullptr),
      lastTime(0.0f),
      count(count_),
      speed(1.0f),
      speedJitter(0.0f),
      offsetRand(0.0f, 0.0f, 0.0f),
      points(10, 10),
      controlPoints(10, 10),
      segmentLengths(10, 10),
      created(10, 10),
      positions(nullptr),
      params(nullptr) {
    if (count > kMaxCount) {
        printf("Demo::PointCurve::PointCurve(): %u points, using %u\n", count, kMaxCount);
        count = kMaxCount;
    }
    // The vertex array owns the block and releases it as bytes.
    unsigned char* block = new unsigned char[size_t(count) * 12];
    memset(block, 0, size_t(count) * 12);
    positions = reinterpret_cast<float*>(block);
    AttributeArray* arrays = new AttributeArray[1];
    arrays[0] = AttributeArray(AttributeArray::at_Location, NT_Float, 3, true);
    arrays[0].stride = 12;
    arrays[0].count = count;
    arrays[0].data = block;
    mesh.SetVertexArrays(arrays, 1);
    mesh.vertexCount = count;
    mesh.primitive = VertexBatch::PR_Points;
    mesh.UpdateBatches();
    node.Attach(&mesh);

    params = new float[count];
    float spacing = count ? 1.0f / float(count) : 0.0f;
    for (unsigned int i = 0; i < count; ++i) params[i] = float(i) * spacing;
}

PointCurve::~PointCurve() {
    for (SceneObject* object : created) delete object;
    delete[] params;
}

PointCurve* PointCurve::New(unsigned int count) {
    PointCurve* curve = new PointCurve(count);
    Engine::GetEngine()->Register(curve);
    return curve;
}

Node* PointCurve::GetNode() { return Node::New(&node); }

void PointCurve::AddPoint(SceneNode* point) {
    if (!point) {
        printf("Demo::PointCurve::AddPoint(): no point\n");
        return;
    }
    // A child, a point, and the update's position and length for it.
    Engine::ChargeCurrent(2 * sizeof point + sizeof(Vec3) + sizeof(float));
    node.Attach(point);
    points.Add(point);
    // Room for the next update's positions, so that Update does not grow them.
    controlPoints.Reserve(points.Size());
    segmentLengths.Reserve(points.Size());
}

void PointCurve::AddPoint(Node* point) {
    if (!point) {
        printf("Demo::PointCurve::AddPoint(): no point\n");
        return;
    }
    AddPoint(point->node);
}

Node* PointCurve::CreatePoint(float x, float y, float z) {
    Engine::ChargeCurrent(sizeof(SceneNode) + sizeof(SceneNode*));
    SceneNode* point = new SceneNode(Vec3::ZERO, Quat::ZERO, nullptr, nullptr, nullptr);
    created.Add(point);
    point->transform.translation = Vec3(x, y, z);
    point->dirty = true;
    AddPoint(point);
    return Node::New(point);
}

void PointCurve::SetSpeed(float speed_, float jitter) {
    speed = speed_;
    speedJitter = jitter;
}

void PointCurve::SetOffsetRand(float x, float y, float z) { offsetRand = Vec3(x, y, z); }

void PointCurve::Distribute(float spread) {
    if (count == 0) return;
    float spacing = 1.0f / float(count);
    for (unsigned int i = 0; i < count; ++i)
        params[i] = Wrap((float(i) + Rand(-spread, spread)) * spacing);
}

// Kept as it always was, asymmetric: called as Rand(-s, s) it gives values
// from -s up to about 0, not from -s to s. Particle motion depends on it.
float PointCurve::Rand(float a, float b) {
    int r = rand();
    return float(a + (r / (2147483648.0 + a)) * b);
}

float PointCurve::Wrap(float p) {
    // Stepping by 1 would never end for an infinite value, nor for one too
    // large for a step of 1 to change it.
    if (!std::isfinite(p)) return 0.0f;
    // In double the integer part is removed exactly, so the result is the
    // float the stepping gives (exactly 1 stays 1).
    double q = p;
    if (q > 1.0) q -= std::ceil(q) - 1.0;
    if (q < 0.0) q += std::ceil(-q);
    return float(q);
}

void PointCurve::Update(float time) {
    float step = (time - lastTime) * speed / 1000.0f;
    for (unsigned int i = 0; i < count; ++i)
        params[i] = Wrap(params[i] + (1.0f + Rand(-speedJitter, speedJitter)) * step);
    lastTime = time;
    // No GPU side before the demo engine starts: nothing to draw yet.
    if (!mesh.initializer) return;

    // The world matrices are those of the previous frame's scene update.
    Mat4 inverse = node.world;
    inverse.LoadInverse();
    controlPoints.Clear();
    segmentLengths.Clear();
    float total = 0.0f;
    for (unsigned int j = 0; j < points.Size(); ++j) {
        Mat4 m;
        Mat4::MatrixMultiplication(m, inverse, points[j]->world);
        Vec3 p(m.m[12], m.m[13], m.m[14]);
        controlPoints.Add(p);
        if (j > 0) {
            float length = (p - controlPoints[j - 1]).Length();
            segmentLengths.Add(length);
            total += length;
        }
    }
    for (unsigned int i = 0; i < count; ++i) CalculatePosition(total * params[i], &positions[3 * i]);
    mesh.initializer->UpdateDynamic();
}

void PointCurve::CalculatePosition(float t, float* out) {
    // Cubic Hermite basis; the member product reads its storage row-wise.
    static const Mat4 H(2.0f, -2.0f, 1.0f, 1.0f, -3.0f, 3.0f, -2.0f, -1.0f, 0.0f, 0.0f, 1.0f,
                        0.0f, 1.0f, 0.0f, 0.0f, 0.0f);
    unsigned int n = controlPoints.Size();
    unsigned int segments = segmentLengths.Size();
    if (segments == 0 || segments + 1 != n || !(t > 0.0f)) {
        // No segment to evaluate, or the very start of the curve (which the
        // search below would reach only through 0 / 0 on a zero-length first
        // segment): the first control point, or the origin without one.
        Vec3 base = n > 0 ? controlPoints[0] : Vec3::ZERO;
        out[0] = base.x;
        out[1] = base.y;
        out[2] = base.z;
    } else {
        const float* L = segmentLengths.Data();
        unsigned int i = 0;
        do {
            i += 1;
            t -= L[i - 1];
        } while (t > 0.0f && i < segments);
        unsigned int k = i - 1;
        float lk = L[k];
        // A zero-length segment has no inside; its start stands for it.
        float u = lk != 0.0f ? (t + lk) / lk : 0.0f;
        float a = 0.0f, b = 0.0f;
        if (k > 0 && L[k - 1] + lk != 0.0f) a = 2.0f * lk / (L[k - 1] + lk);
        if (k + 1 < segments && lk + L[k + 1] != 0.0f) b = 2.0f * lk / (lk + L[k + 1]);
        // Indices modulo n; the wrapped terms meet a zero factor.
        const Vec3& p0 = controlPoints[(k + n - 1) % n];
        const Vec3& p1 = controlPoints[k];
        const Vec3& p2 = controlPoints[(k + 1) % n];
        const Vec3& p3 = controlPoints[(k + 2) % n];
        Vec3 t1 = (p2 - p0) * 0.5f * a;
        Vec3 t2 = (p3 - p1) * 0.5f * b;
        for (int c = 0; c < 3; ++c) {
            Vec4 r = H * Vec4(p1[c], p2[c], t1[c], t2[c]);
            out[c] = u * u * u * r.x + u * u * r.y + u * r.z + r.w;
        }
    }
    // x, y, z in turn, a random call only for a non-zero (or NaN) range.
    for (int c = 0; c < 3; ++c) {
        float o = offsetRand[c];
        if (o != 0.0f) out[c] += Rand(-o, o);
    }
}

}  // namespace Demo
