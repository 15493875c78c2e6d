// Point curves: particle parameters, the random function, the wrap into
// [0, 1], curve positions including the degenerate cases, and the per-frame
// update once the GPU side exists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "demo/Engine.h"
#include "demo/Node.h"
#include "demo/Part.h"
#include "demo/PointCurve.h"
#include "engine/AttributeArray.h"
#include "engine/SceneNode.h"
#include "engine/VertexBatch.h"
#include "math/Mat4.h"
#include "support/DemoTestEnv.h"

using testsupport::DemoTestEnv;
using testsupport::StdoutOf;

namespace {

class PointCurveTest : public DemoTestEnv {
protected:
    // Control positions and chord lengths as an update would leave them.
    static void SetCurve(Demo::PointCurve* curve, const std::vector<Vec3>& points) {
        curve->controlPoints.Clear();
        curve->segmentLengths.Clear();
        for (size_t j = 0; j < points.size(); ++j) {
            curve->controlPoints.Add(points[j]);
            if (j > 0) curve->segmentLengths.Add((points[j] - points[j - 1]).Length());
        }
    }

    static Vec3 At(Demo::PointCurve* curve, float t) {
        float out[3] = {-99.0f, -99.0f, -99.0f};
        curve->CalculatePosition(t, out);
        return Vec3(out[0], out[1], out[2]);
    }
};

// What the plain repeated stepping of the wrap gives.
float SteppedWrap(float p) {
    while (p > 1.0f) p -= 1.0f;
    while (p < 0.0f) p += 1.0f;
    return p;
}

// The values rand() will return after srand(seed).
std::vector<int> RandSequence(unsigned int seed, unsigned int n) {
    srand(seed);
    std::vector<int> values;
    for (unsigned int i = 0; i < n; ++i) values.push_back(rand());
    srand(seed);
    return values;
}

}  // namespace

TEST_F(PointCurveTest, NewCurveSpacesParametersEvenly) {
    Demo::PointCurve* curve = Demo::PointCurve::New(4);
    EXPECT_EQ(engine->objects.Last(), curve);
    ASSERT_EQ(curve->count, 4u);
    EXPECT_EQ(curve->params[0], 0.0f);
    EXPECT_EQ(curve->params[1], 0.25f);
    EXPECT_EQ(curve->params[2], 0.5f);
    EXPECT_EQ(curve->params[3], 0.75f);
    EXPECT_EQ(curve->speed, 1.0f);
    EXPECT_EQ(curve->speedJitter, 0.0f);
    EXPECT_EQ(curve->offsetRand, Vec3(0, 0, 0));
    EXPECT_EQ(curve->lastTime, 0.0f);
}

TEST_F(PointCurveTest, MeshDrawsCountPointsFromPositions) {
    Demo::PointCurve* curve = Demo::PointCurve::New(5);
    ASSERT_EQ(curve->mesh.GetNumVertexArrays(), 1u);
    const AttributeArray* array = curve->mesh.GetVertexArray(0);
    EXPECT_EQ(array->type, AttributeArray::at_Location);
    EXPECT_EQ(array->numericType, NT_Float);
    EXPECT_EQ(array->components, 3u);
    EXPECT_EQ(array->stride, 12u);
    EXPECT_TRUE(array->dynamic);
    EXPECT_EQ(array->count, 5u);
    EXPECT_EQ(array->data, reinterpret_cast<unsigned char*>(curve->positions));
    EXPECT_EQ(curve->mesh.GetNumTriangleArrays(), 0u);
    ASSERT_EQ(curve->mesh.GetBatches()->Size(), 1u);
    const VertexBatch* batch = (*curve->mesh.GetBatches())[0];
    EXPECT_EQ(batch->primitive, unsigned(VertexBatch::PR_Points));
    EXPECT_EQ(batch->count, 5u);
    ASSERT_EQ(curve->node.meshes.Size(), 1u);
    EXPECT_EQ(curve->node.meshes[0], &curve->mesh);
    EXPECT_EQ(curve->node.transform.rotationMatrix, Mat3::IDENTITY);
    EXPECT_GE(gl.manager.resources.Find(&curve->mesh), 0);
}

TEST_F(PointCurveTest, ZeroCountCurveIsHarmless) {
    Demo::PointCurve* curve = Demo::PointCurve::New(0);
    curve->Distribute(0.5f);
    curve->Update(100.0f);
    EXPECT_EQ(curve->mesh.GetVertexArray(0)->count, 0u);
    EXPECT_EQ(curve->lastTime, 100.0f);
}

TEST_F(PointCurveTest, HugeCountIsReportedAndCut) {
    Demo::PointCurve* curve = nullptr;
    char expected[96];
    snprintf(expected, sizeof(expected), "Demo::PointCurve::PointCurve(): 4294967295 points, using %u\n",
             Demo::PointCurve::kMaxCount);
    EXPECT_EQ(StdoutOf([&] { curve = Demo::PointCurve::New(0xFFFFFFFFu); }), expected);
    EXPECT_EQ(curve->count, Demo::PointCurve::kMaxCount);
    EXPECT_EQ(curve->mesh.GetVertexArray(0)->count, Demo::PointCurve::kMaxCount);
    EXPECT_EQ(curve->params[Demo::PointCurve::kMaxCount - 1],
              float(Demo::PointCurve::kMaxCount - 1) * (1.0f / float(Demo::PointCurve::kMaxCount)));
}

// ---------------------------------------------------------------- random and wrap

TEST_F(PointCurveTest, RandUsesTheAsymmetricRange) {
    Demo::PointCurve* curve = Demo::PointCurve::New(1);
    std::vector<int> r = RandSequence(42, 3);
    for (int value : r) {
        double expected = -2.0 + (value / (2147483648.0 - 2.0)) * 2.0;
        EXPECT_EQ(curve->Rand(-2.0f, 2.0f), float(expected));
    }
    srand(7);
    float lowest = 0.0f, highest = -10.0f;
    double sum = 0.0;
    for (int i = 0; i < 20000; ++i) {
        float v = curve->Rand(-3.0f, 3.0f);
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
        sum += v;
    }
    // From -s to about 0, centred on -s/2: not symmetric about 0.
    EXPECT_GE(lowest, -3.0f);
    EXPECT_LT(lowest, -2.99f);
    EXPECT_LE(highest, 1e-5f);
    EXPECT_GT(highest, -0.01f);
    EXPECT_NEAR(sum / 20000.0, -1.5, 0.05);
}

TEST(PointCurveWrap, MatchesSteppingByOne) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> wide(-60.0f, 60.0f);
    std::uniform_real_distribution<float> near(-1.5f, 2.5f);
    for (int i = 0; i < 100000; ++i) {
        float p = i % 2 ? wide(rng) : near(rng);
        ASSERT_EQ(Demo::PointCurve::Wrap(p), SteppedWrap(p)) << p;
    }
    for (float p : {0.0f, 1.0f, -1.0f, 2.0f, 1.0000001f, -0.0000001f, -3.0f, 7.5f, -1e-30f})
        EXPECT_EQ(Demo::PointCurve::Wrap(p), SteppedWrap(p)) << p;
    EXPECT_EQ(Demo::PointCurve::Wrap(1.0f), 1.0f);
}

TEST(PointCurveWrap, ValuesSteppingCouldNeverFinishLandInRange) {
    for (float p : {1e30f, -1e30f, 3e9f, -123456789.0f}) {
        float w = Demo::PointCurve::Wrap(p);
        EXPECT_GE(w, 0.0f) << p;
        EXPECT_LE(w, 1.0f) << p;
    }
    EXPECT_EQ(Demo::PointCurve::Wrap(INFINITY), 0.0f);
    EXPECT_EQ(Demo::PointCurve::Wrap(-INFINITY), 0.0f);
    EXPECT_EQ(Demo::PointCurve::Wrap(NAN), 0.0f);
}

// ---------------------------------------------------------------- parameters

TEST_F(PointCurveTest, SpeedAdvancesEveryParameterModuloOne) {
    Demo::PointCurve* curve = Demo::PointCurve::New(4);
    curve->SetSpeed(0.5f, 0.0f);
    curve->Update(1000.0f);
    EXPECT_EQ(curve->params[0], 0.5f);
    EXPECT_EQ(curve->params[1], 0.75f);
    EXPECT_EQ(curve->params[2], 1.0f);  // exactly 1 stays 1
    EXPECT_EQ(curve->params[3], 0.25f);
    EXPECT_EQ(curve->lastTime, 1000.0f);
    // The step is taken from the previous update's time.
    curve->Update(1500.0f);
    EXPECT_EQ(curve->params[0], 0.75f);
    curve->Update(1000.0f);
    EXPECT_EQ(curve->params[0], 0.5f);
}

TEST_F(PointCurveTest, OneRandomCallPerParticleEvenWithoutJitter) {
    Demo::PointCurve* curve = Demo::PointCurve::New(3);
    std::vector<int> r = RandSequence(11, 4);
    curve->Update(100.0f);
    EXPECT_EQ(rand(), r[3]);
}

TEST_F(PointCurveTest, JitterScalesEachParticlesStep) {
    Demo::PointCurve* curve = Demo::PointCurve::New(2);
    curve->SetSpeed(1.0f, 0.5f);
    std::vector<int> r = RandSequence(3, 2);
    curve->Update(200.0f);
    for (unsigned int i = 0; i < 2; ++i) {
        float jitter = float(-0.5 + (r[i] / (2147483648.0 - 0.5)) * 0.5);
        float expected = float(i) * 0.5f + (1.0f + jitter) * 0.2f;
        EXPECT_EQ(curve->params[i], expected) << i;
        EXPECT_LE(curve->params[i], float(i) * 0.5f + 0.2f);
    }
}

TEST_F(PointCurveTest, DistributeSpreadsAndWraps) {
    Demo::PointCurve* curve = Demo::PointCurve::New(4);
    curve->params[1] = 0.9f;
    curve->Distribute(0.0f);
    EXPECT_EQ(curve->params[0], 0.0f);
    EXPECT_EQ(curve->params[1], 0.25f);
    EXPECT_EQ(curve->params[3], 0.75f);
    std::vector<int> r = RandSequence(21, 4);
    curve->Distribute(2.0f);
    for (unsigned int i = 0; i < 4; ++i) {
        float offset = float(-2.0 + (r[i] / (2147483648.0 - 2.0)) * 2.0);
        EXPECT_EQ(curve->params[i], SteppedWrap((float(i) + offset) * 0.25f)) << i;
        EXPECT_GE(curve->params[i], 0.0f);
        EXPECT_LE(curve->params[i], 1.0f);
    }
}

TEST_F(PointCurveTest, AttachedCurveMovesWithItsPart) {
    Demo::PointCurve* curve = Demo::PointCurve::New(2);
    Demo::Part* part = Demo::Part::New(2000.0f);
    part->AttachUpdate(curve);
    part->Update(250.0f);
    EXPECT_EQ(curve->params[0], 0.25f);
    EXPECT_EQ(curve->params[1], 0.75f);
}

// ---------------------------------------------------------------- curve positions

TEST_F(PointCurveTest, TwoPointsBlendWithZeroTangents) {
    Demo::PointCurve* curve = Demo::PointCurve::New(1);
    SetCurve(curve, {Vec3(0, 0, 0), Vec3(10, 0, 0)});
    EXPECT_EQ(At(curve, 5.0f), Vec3(5, 0, 0));
    // 10 (3u^2 - 2u^3) at u = 0.25.
    Vec3 quarter = At(curve, 2.5f);
    EXPECT_FLOAT_EQ(quarter.x, 1.5625f);
    EXPECT_EQ(quarter.y, 0.0f);
    Vec3 end = At(curve, 10.0f);
    EXPECT_FLOAT_EQ(end.x, 10.0f);
}

TEST_F(PointCurveTest, UnevenSegmentsScaleTheTangents) {
    Demo::PointCurve* curve = Demo::PointCurve::New(1);
    SetCurve(curve, {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(3, 0, 0)});
    // Segment 0 at u = 0.5: start tangent 0, end tangent 0.5 * 3 * (2/3) = 1:
    // 0.5 * 1 + (0.125 - 0.25) * 1.
    EXPECT_FLOAT_EQ(At(curve, 0.5f).x, 0.375f);
    // Segment 1 at u = 0.5: start tangent 0.5 * 3 * (4/3) = 2, end tangent 0:
    // 0.5 * 1 + 0.5 * 3 + 0.125 * 2.
    EXPECT_FLOAT_EQ(At(curve, 2.0f).x, 2.25f);
    // Parameter 1: the whole chord length ends on the last point.
    Vec3 end = At(curve, 3.0f);
    EXPECT_NEAR(end.x, 3.0f, 1e-5f);
    EXPECT_EQ(end.y, 0.0f);
}

TEST_F(PointCurveTest, ParameterZeroGivesFirstControlPoint) {
    Demo::PointCurve* curve = Demo::PointCurve::New(1);
    SetCurve(curve, {Vec3(1, 2, 3), Vec3(4, 2, 3)});
    EXPECT_EQ(At(curve, 0.0f), Vec3(1, 2, 3));
    // A first segment of length 0 would otherwise give 0 / 0.
    SetCurve(curve, {Vec3(2, 2, 2), Vec3(2, 2, 2), Vec3(5, 2, 2)});
    EXPECT_EQ(At(curve, 0.0f), Vec3(2, 2, 2));
    Vec3 inside = At(curve, 1.5f);
    EXPECT_TRUE(std::isfinite(inside.x));
    EXPECT_GT(inside.x, 2.0f);
    EXPECT_LT(inside.x, 5.0f);
}

TEST_F(PointCurveTest, CurvesWithoutSegmentsGiveFirstPointOrOrigin) {
    Demo::PointCurve* curve = Demo::PointCurve::New(1);
    SetCurve(curve, {});
    EXPECT_EQ(At(curve, 0.7f), Vec3(0, 0, 0));
    SetCurve(curve, {Vec3(4, 5, 6)});
    EXPECT_EQ(At(curve, 0.7f), Vec3(4, 5, 6));
    EXPECT_EQ(At(curve, 0.0f), Vec3(4, 5, 6));
}

TEST_F(PointCurveTest, ZeroLengthLastSegmentStaysFinite) {
    Demo::PointCurve* curve = Demo::PointCurve::New(1);
    SetCurve(curve, {Vec3(0, 0, 0), Vec3(2, 0, 0), Vec3(2, 0, 0)});
    // Just past the chord length, as float subtraction can leave it.
    Vec3 p = At(curve, 2.0001f);
    EXPECT_EQ(p, Vec3(2, 0, 0));
}

TEST_F(PointCurveTest, OffsetShakesOnlyNonZeroAxes) {
    Demo::PointCurve* curve = Demo::PointCurve::New(1);
    SetCurve(curve, {Vec3(0, 0, 0), Vec3(10, 0, 0)});
    curve->SetOffsetRand(0.0f, 2.0f, 0.0f);
    std::vector<int> r = RandSequence(8, 2);
    Vec3 p = At(curve, 5.0f);
    EXPECT_EQ(p.x, 5.0f);
    EXPECT_EQ(p.z, 0.0f);
    EXPECT_EQ(p.y, float(-2.0 + (r[0] / (2147483648.0 - 2.0)) * 2.0));
    EXPECT_GE(p.y, -2.0f);
    EXPECT_LE(p.y, 0.0f);
    EXPECT_EQ(rand(), r[1]);  // one call for the one axis
    // The degenerate cases are shaken the same way.
    SetCurve(curve, {Vec3(4, 5, 6)});
    curve->SetOffsetRand(1.0f, 0.0f, NAN);
    RandSequence(8, 0);
    Vec3 q = At(curve, 0.0f);
    EXPECT_EQ(q.x, float(4.0f + float(-1.0 + (r[0] / (2147483648.0 - 1.0)) * 1.0)));
    EXPECT_EQ(q.y, 5.0f);
    EXPECT_TRUE(std::isnan(q.z));
}

// ---------------------------------------------------------------- control nodes and update

TEST_F(PointCurveTest, CreatePointMakesOwnedChildNode) {
    Demo::PointCurve* curve = Demo::PointCurve::New(1);
    Demo::Node* handle = curve->CreatePoint(1.0f, 2.0f, 3.0f);
    ASSERT_EQ(curve->created.Size(), 1u);
    SceneNode* point = static_cast<SceneNode*>(curve->created[0]);
    EXPECT_EQ(handle->node, point);
    EXPECT_EQ(engine->objects.Last(), handle);
    EXPECT_EQ(point->transform.translation, Vec3(1, 2, 3));
    EXPECT_TRUE(point->dirty);
    EXPECT_EQ(point->parent, &curve->node);
    ASSERT_EQ(curve->points.Size(), 1u);
    EXPECT_EQ(curve->points[0], point);
    EXPECT_EQ(curve->node.children[0], point);
}

TEST_F(PointCurveTest, AddPointTakesNodeHandlesAndRefusesNil) {
    Demo::PointCurve* curve = Demo::PointCurve::New(1);
    SceneNode outside;
    curve->AddPoint(Demo::Node::New(&outside));
    EXPECT_EQ(curve->points[0], &outside);
    EXPECT_EQ(outside.parent, &curve->node);
    std::string out = StdoutOf([&] {
        curve->AddPoint(static_cast<Demo::Node*>(nullptr));
        curve->AddPoint(static_cast<SceneNode*>(nullptr));
    });
    EXPECT_EQ(out,
              "Demo::PointCurve::AddPoint(): no point\n"
              "Demo::PointCurve::AddPoint(): no point\n");
    EXPECT_EQ(curve->points.Size(), 1u);
    EXPECT_EQ(curve->node.children.Size(), 1u);
    // The handle on a curve's node is new each time.
    Demo::Node* a = curve->GetNode();
    Demo::Node* b = curve->GetNode();
    EXPECT_NE(a, b);
    EXPECT_EQ(a->node, &curve->node);
    EXPECT_EQ(b->node, &curve->node);
    curve->node.Detach(&outside);
}

TEST_F(PointCurveTest, UpdateBeforeStartOnlyMovesParameters) {
    Demo::PointCurve* curve = Demo::PointCurve::New(2);
    curve->CreatePoint(0, 0, 0);
    curve->CreatePoint(1, 0, 0);
    curve->Update(100.0f);
    EXPECT_EQ(curve->params[0], 0.1f);
    EXPECT_EQ(curve->controlPoints.Size(), 0u);
    EXPECT_EQ(curve->positions[0], 0.0f);
    EXPECT_EQ(curve->positions[3], 0.0f);
}

TEST_F(PointCurveTest, UpdateAfterStartEvaluatesInCurveSpaceAndResends) {
    Demo::PointCurve* curve = Demo::PointCurve::New(2);
    curve->CreatePoint(0, 0, 0);
    curve->CreatePoint(0, 6, 0);
    curve->CreatePoint(0, 6, 8);
    gl.manager.InitAll();
    ASSERT_NE(curve->mesh.initializer, nullptr);
    // World matrices as the previous frame's scene update left them: the
    // curve's node moved to (10, 0, 0), the points below it.
    curve->node.transform.translation = Vec3(10, 0, 0);
    curve->node.UpdateWorldTransform();
    for (SceneNode* point : curve->points) point->UpdateWorldTransform();
    curve->params[1] = 0.5f;  // mid-length: 7 of 14, in the second segment
    curve->Update(0.0f);
    ASSERT_EQ(curve->controlPoints.Size(), 3u);
    EXPECT_EQ(curve->controlPoints[0], Vec3(0, 0, 0));
    EXPECT_EQ(curve->controlPoints[1], Vec3(0, 6, 0));
    EXPECT_EQ(curve->controlPoints[2], Vec3(0, 6, 8));
    ASSERT_EQ(curve->segmentLengths.Size(), 2u);
    EXPECT_EQ(curve->segmentLengths[0], 6.0f);
    EXPECT_EQ(curve->segmentLengths[1], 8.0f);
    // Particle 0 at parameter 0 sits on the first point.
    EXPECT_EQ(curve->positions[0], 0.0f);
    EXPECT_EQ(curve->positions[1], 0.0f);
    EXPECT_EQ(curve->positions[2], 0.0f);
    float expected[3];
    curve->CalculatePosition(7.0f, expected);
    EXPECT_EQ(curve->positions[3], expected[0]);
    EXPECT_EQ(curve->positions[4], expected[1]);
    EXPECT_EQ(curve->positions[5], expected[2]);
    EXPECT_GT(curve->positions[5], 0.0f);
    EXPECT_LT(curve->positions[5], 8.0f);
    auto* initializer = static_cast<RecordingInitializer*>(curve->mesh.initializer);
    EXPECT_EQ(initializer->updateCount, 1);
    curve->Update(10.0f);
    EXPECT_EQ(initializer->updateCount, 2);
}
