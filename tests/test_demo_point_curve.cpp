// Point curves: particle parameters, the random function, the wrap into
// [0, 1], curve positions, control nodes and the per-frame update.
#include <cmath>
#include <cstdlib>
#include <random>

#include "demo/Part.h"
#include "demo/PointCurve.h"
#include "support/DemoTestEnv.h"

using testsupport::StdoutOf;
using testsupport::Vec;

namespace {

using PointCurveTest = testsupport::DemoTestEnv;

// The position at t on a curve through the points, as an update leaves it.
Vec3 At(Demo::PointCurve* curve, const std::vector<Vec3>& points, float t) {
    curve->controlPoints.Clear();
    curve->segmentLengths.Clear();
    for (size_t j = 0; j < points.size(); ++j) {
        curve->controlPoints.Add(points[j]);
        if (j > 0) curve->segmentLengths.Add((points[j] - points[j - 1]).Length());
    }
    float out[3] = {-99.0f, -99.0f, -99.0f};
    curve->CalculatePosition(t, out);
    return Vec3(out[0], out[1], out[2]);
}

// What rand() will return after srand(seed); the generator is left re-seeded.
std::vector<int> RandSequence(unsigned int seed, unsigned int n) {
    srand(seed);
    std::vector<int> values;
    for (unsigned int i = 0; i < n; ++i) values.push_back(rand());
    srand(seed);
    return values;
}

// Rand(-s, s) for the draw r: from -s up to about 0, not symmetric.
float Shake(int r, float s) { return float(-s + (r / (2147483648.0 - s)) * s); }

float SteppedWrap(float p) {
    while (p > 1.0f) p -= 1.0f;
    while (p < 0.0f) p += 1.0f;
    return p;
}

}  // namespace

TEST_F(PointCurveTest, NewCurveSpacesParametersAndDrawsItsPositionsAsPoints) {
    Demo::PointCurve* curve = Demo::PointCurve::New(4);
    EXPECT_EQ(std::vector<float>(curve->params, curve->params + 4),
              (std::vector<float>{0.0f, 0.25f, 0.5f, 0.75f}));
    EXPECT_EQ(static_cast<void*>(curve->mesh.GetVertexArray(0)->data), curve->positions);
    Demo::PointCurve::New(0)->Update(100.0f);
    char expected[96];
    snprintf(expected, sizeof(expected),
             "Demo::PointCurve::PointCurve(): 4294967295 points, using %u\n",
             Demo::PointCurve::kMaxCount);
    EXPECT_EQ(StdoutOf([&] { curve = Demo::PointCurve::New(0xFFFFFFFFu); }), expected);
    EXPECT_EQ(curve->mesh.GetVertexArray(0)->count, Demo::PointCurve::kMaxCount);
}

TEST(PointCurveWrap, MatchesSteppingByOneAndEndsForAnyValue) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> wide(-60.0f, 60.0f), near(-1.5f, 2.5f);
    const auto wrap = Demo::PointCurve::Wrap;
    for (int i = 0; i < 100000; ++i) {
        const float p = i % 2 ? wide(rng) : near(rng);
        ASSERT_EQ(wrap(p), SteppedWrap(p)) << p;
    }
    for (float p : {1.0f, -1.0f, 1.0000001f, -1e-30f}) EXPECT_EQ(wrap(p), SteppedWrap(p)) << p;
    // Values a step of 1 cannot change, and non-finite ones.
    for (float p : {1e30f, -1e30f, 3e9f, -123456789.0f})
        EXPECT_TRUE(wrap(p) >= 0.0f && wrap(p) <= 1.0f) << p;
    for (float p : {INFINITY, -INFINITY, NAN}) EXPECT_EQ(wrap(p), 0.0f);
}

TEST_F(PointCurveTest, ParametersAdvanceWithSpeedAndAsymmetricJitterAndSpread) {
    Demo::PointCurve* curve = Demo::PointCurve::New(4);
    curve->SetSpeed(0.5f, 0.0f);
    Demo::Part* part = Demo::Part::New(5000.0f);
    part->AttachUpdate(curve);
    part->Update(1000.0f);
    EXPECT_EQ(std::vector<float>(curve->params, curve->params + 4),
              (std::vector<float>{0.5f, 0.75f, 1.0f, 0.25f}));  // exactly 1 stays 1
    std::vector<int> r = RandSequence(4, 5);
    curve->Update(1500.0f);  // steps from the previous update's time
    EXPECT_EQ(curve->params[0], 0.75f);
    EXPECT_EQ(rand(), r[4]);  // one draw per particle, also without jitter
    const std::vector<float> before(curve->params, curve->params + 4);
    r = RandSequence(4, 4);
    curve->SetSpeed(1.0f, 0.5f);
    curve->Update(1700.0f);
    for (unsigned int i = 0; i < 4; ++i)
        EXPECT_EQ(curve->params[i], SteppedWrap(before[i] + (1 + Shake(r[i], 0.5f)) * 0.2f));
    for (int value : RandSequence(42, 3)) EXPECT_EQ(curve->Rand(-2.0f, 2.0f), Shake(value, 2.0f));
    r = RandSequence(21, 4);
    curve->Distribute(2.0f);
    for (unsigned int i = 0; i < 4; ++i)
        EXPECT_EQ(curve->params[i], SteppedWrap((float(i) + Shake(r[i], 2.0f)) * 0.25f)) << i;
}

TEST_F(PointCurveTest, PositionsAlongTheCurveAndTheirShake) {
    Demo::PointCurve* curve = Demo::PointCurve::New(1);
    const std::vector<Vec3> line = {Vec3(0, 0, 0), Vec3(10, 0, 0)};
    // Zero tangents at both ends: 10 (3u^2 - 2u^3).
    EXPECT_EQ(At(curve, line, 5.0f), Vec3(5, 0, 0));
    EXPECT_FLOAT_EQ(At(curve, line, 2.5f).x, 1.5625f);
    // Segments 1 and 2: the end tangent of the first is 0.5 * 3 * (2 / 3) = 1.
    const std::vector<Vec3> uneven = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(3, 0, 0)};
    EXPECT_FLOAT_EQ(At(curve, uneven, 0.5f).x, 0.5f - 0.125f);
    EXPECT_FLOAT_EQ(At(curve, uneven, 2.0f).x, 2.25f);
    EXPECT_NEAR(At(curve, uneven, 3.0f).x, 3.0f, 1e-5f);  // parameter 1: the last point
    // Parameter 0, no segments, and segments of length 0 stay finite.
    EXPECT_EQ(At(curve, {Vec3(2, 2, 2), Vec3(2, 2, 2), Vec3(5, 2, 2)}, 0.0f), Vec3(2, 2, 2));
    EXPECT_TRUE(std::isfinite(At(curve, {Vec3(2, 2, 2), Vec3(2, 2, 2), Vec3(5, 2, 2)}, 1.5f).x));
    EXPECT_EQ(At(curve, {Vec3(0, 0, 0), Vec3(2, 0, 0), Vec3(2, 0, 0)}, 2.0001f), Vec3(2, 0, 0));
    EXPECT_EQ(At(curve, {}, 0.7f), Vec3(0, 0, 0));
    EXPECT_EQ(At(curve, {Vec3(4, 5, 6)}, 0.7f), Vec3(4, 5, 6));
    // The offset shakes only the axes it sets, NaN counting as set.
    curve->SetOffsetRand(0.0f, 2.0f, 0.0f);
    std::vector<int> r = RandSequence(8, 2);
    EXPECT_EQ(At(curve, {Vec3(0, 0, 0), Vec3(10, 0, 0)}, 5.0f), Vec3(5, Shake(r[0], 2.0f), 0));
    EXPECT_EQ(rand(), r[1]);  // one draw for the one axis
    curve->SetOffsetRand(1.0f, 0.0f, NAN);
    RandSequence(8, 0);
    Vec3 q = At(curve, {Vec3(4, 5, 6)}, 0.0f);
    EXPECT_EQ(q.x, 4.0f + Shake(r[0], 1.0f));
    EXPECT_EQ(q.y, 5.0f);
    EXPECT_TRUE(std::isnan(q.z));
}

TEST_F(PointCurveTest, ControlNodesHangUnderTheCurveNode) {
    Demo::PointCurve* curve = Demo::PointCurve::New(1);
    Demo::Node* handle = curve->CreatePoint(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(Vec(curve->created), std::vector<SceneObject*>{handle->node});
    SceneNode outside;
    curve->AddPoint(Demo::Node::New(&outside));
    EXPECT_EQ(StdoutOf([&] {
                  curve->AddPoint(static_cast<Demo::Node*>(nullptr));
                  curve->AddPoint(static_cast<SceneNode*>(nullptr));
              }),
              "Demo::PointCurve::AddPoint(): no point\nDemo::PointCurve::AddPoint(): no point\n");
    EXPECT_EQ(Vec(curve->points), (std::vector<SceneNode*>{handle->node, &outside}));
    EXPECT_EQ(Vec(curve->node.children), Vec(curve->points));
    EXPECT_NE(curve->GetNode(), curve->GetNode());
    curve->node.Detach(&outside);
}

TEST_F(PointCurveTest, UpdateEvaluatesInCurveSpaceOnceStartedAndResends) {
    Demo::PointCurve* curve = Demo::PointCurve::New(2);
    const std::vector<Vec3> points = {Vec3(0, 0, 0), Vec3(0, 6, 0), Vec3(0, 6, 8)};
    for (const Vec3& p : points) curve->CreatePoint(p.x, p.y, p.z);
    curve->Update(100.0f);  // not started: parameters only
    EXPECT_EQ(curve->controlPoints.Size(), 0u);
    gl.manager.InitAll();
    ASSERT_NE(curve->mesh.initializer, nullptr);
    // World matrices as the previous frame left them: the curve's node at (10, 0, 0).
    curve->node.transform.translation = Vec3(10, 0, 0);
    curve->node.UpdateWorldTransform();
    for (SceneNode* point : curve->points) point->UpdateWorldTransform();
    curve->params[0] = 0.0f;
    curve->params[1] = 0.5f;  // 7 of 14: in the second segment
    curve->Update(100.0f);
    EXPECT_EQ(Vec(curve->controlPoints), points);
    EXPECT_EQ(Vec(curve->segmentLengths), (std::vector<float>{6.0f, 8.0f}));
    float expected[6] = {0, 0, 0};
    curve->CalculatePosition(7.0f, expected + 3);
    EXPECT_EQ(std::vector<float>(curve->positions, curve->positions + 6),
              std::vector<float>(expected, expected + 6));
    EXPECT_TRUE(expected[5] > 0.0f && expected[5] < 8.0f) << expected[5];
    curve->Update(110.0f);
    EXPECT_EQ(static_cast<RecordingInitializer*>(curve->mesh.initializer)->updateCount, 2);
}
