// Keyframe evaluation: period mapping, segment search, the five interpolations
// checked against independent computation, derivatives, bad sequences and the
// absence of allocation.
#include "engine/Animation.h"
#include "engine/KeyframeSequence.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <memory>
#include <new>
#include <vector>

// Counts heap allocations so that tests can assert that evaluation makes none.
static long g_allocations = 0;

static void* Allocate(std::size_t size) {
    ++g_allocations;
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
// Out of line: inlined into a delete-expression, free() looks to the compiler
// like a mismatch with the new-expression.
__attribute__((noinline)) static void Release(void* p) { std::free(p); }

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace {

struct KeySpec {
    float time;
    std::vector<float> values;
};

std::unique_ptr<Animation> Make(unsigned int interpolation, unsigned int repeat, float duration,
                                 unsigned int components, std::initializer_list<KeySpec> keys,
                                 unsigned int channels = 1) {
    std::unique_ptr<Animation> a(new Animation);
    a->sequence = new KeyframeSequence(components, channels);
    a->sequence->duration = duration;
    for (const KeySpec& k : keys) a->sequence->AddKey(k.time, k.values.data());
    a->interpolation = interpolation;
    a->repeatMode = repeat;
    return a;
}

float Value(Animation* a, float t) { return a->GetComponentValue(t, 0, 0); }

Quat Eval4(Animation* a, float t) {
    float out[4] = {0, 0, 0, 0};
    a->GetChannelValues(t, out, 0, 3, 0);
    return Quat(out[0], out[1], out[2], out[3]);
}

Quat AxisAngle(double ax, double ay, double az, double degrees) {
    double len = std::sqrt(ax * ax + ay * ay + az * az);
    double h = degrees * M_PI / 360.0;
    double s = std::sin(h) / len;
    return Quat(float(ax * s), float(ay * s), float(az * s), float(std::cos(h)));
}

std::vector<float> V(const Quat& q) { return {q.x, q.y, q.z, q.w}; }

// Textbook slerp of unit quaternions, without the shorter-arc flip.
Quat ClassicSlerp(const Quat& a, const Quat& b, double s) {
    double dot = double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z + double(a.w) * b.w;
    double omega = std::acos(std::max(-1.0, std::min(1.0, dot)));
    double so = std::sin(omega);
    double wa = std::sin((1 - s) * omega) / so;
    double wb = std::sin(s * omega) / so;
    return Quat(float(wa * a.x + wb * b.x), float(wa * a.y + wb * b.y),
                float(wa * a.z + wb * b.z), float(wa * a.w + wb * b.w));
}

void ExpectQuatNear(const Quat& expected, const Quat& actual, float tolerance) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
    EXPECT_NEAR(expected.w, actual.w, tolerance);
}

// Cubic Hermite basis written out, independent of the matrix form.
double Hermite(double p0, double p1, double m0, double m1, double s) {
    double s2 = s * s, s3 = s2 * s;
    return (2 * s3 - 3 * s2 + 1) * p0 + (-2 * s3 + 3 * s2) * p1 + (s3 - 2 * s2 + s) * m0 +
           (s3 - s2) * m1;
}

const float kSentinel = -777.0f;

}  // namespace

// --- KeyframeSequence -----------------------------------------------------

TEST(KeyframeSequenceSearch, StartAndEndAroundKeys) {
    KeyframeSequence seq(1);
    EXPECT_EQ(seq.GetCurrentStart(3.0f), -1);
    EXPECT_EQ(seq.GetCurrentEnd(3.0f), 0);
    float v = 0;
    seq.AddKey(2.0f, &v);
    seq.AddKey(6.0f, &v);
    seq.AddKey(9.0f, &v);
    EXPECT_EQ(seq.GetCurrentStart(1.0f), -1);
    EXPECT_EQ(seq.GetCurrentEnd(1.0f), 0);
    EXPECT_EQ(seq.GetCurrentStart(2.0f), 0);
    EXPECT_EQ(seq.GetCurrentEnd(2.0f), 1);
    EXPECT_EQ(seq.GetCurrentStart(6.0f), 1);
    EXPECT_EQ(seq.GetCurrentEnd(6.0f), 2);
    EXPECT_EQ(seq.GetCurrentStart(9.5f), 2);
    EXPECT_EQ(seq.GetCurrentEnd(9.5f), 3);
}

TEST(KeyframeSequenceSearch, TimeDiffCrossesThePeriodEnd) {
    KeyframeSequence seq(1);
    seq.duration = 10.0f;
    EXPECT_FLOAT_EQ(seq.GetTimeDiff(2.0f, 8.0f), 6.0f);
    EXPECT_FLOAT_EQ(seq.GetTimeDiff(8.0f, 2.0f), 4.0f);
    EXPECT_FLOAT_EQ(seq.GetTimeDiff(5.0f, 5.0f), 0.0f);
    EXPECT_FLOAT_EQ(seq.GetEndTime(), 10.0f);
    EXPECT_FLOAT_EQ(seq.GetStartTime(), 0.0f);
}

TEST(KeyframeSequenceKeys, AddKeyCopiesEveryChannel) {
    KeyframeSequence seq(2, 3);
    float values[6] = {1, 2, 3, 4, 5, 6};
    seq.AddKey(0.0f, values);
    values[5] = 99;
    seq.AddKey(1.0f, nullptr);
    ASSERT_EQ(seq.keys.Size(), 2u);
    EXPECT_EQ(seq.KeySize(), 6u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(seq.keys[0].values[i], float(i + 1));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(seq.keys[1].values[i], 0.0f);
}

// --- Period mapping -------------------------------------------------------

TEST(AnimationRepeat, LoopMapsTimesIntoThePeriod) {
    auto a = Make(Animation::IM_LINEAR, Animation::RM_LOOP, 10, 1, {{0, {0}}, {10, {10}}});
    EXPECT_FLOAT_EQ(a->GetCurveTime(25.0f), 5.0f);
    EXPECT_FLOAT_EQ(Value(a.get(), 25.0f), 5.0f);
    EXPECT_FLOAT_EQ(a->GetCurveTime(-2.5f), 7.5f);
    EXPECT_FLOAT_EQ(Value(a.get(), -2.5f), 7.5f);
    EXPECT_FLOAT_EQ(a->GetCurveTime(10.0f), 0.0f);
    // A tiny negative time must not land on the duration itself.
    float t = a->GetCurveTime(-1e-8f);
    EXPECT_GE(t, 0.0f);
    EXPECT_LT(t, 10.0f);
}

TEST(AnimationRepeat, ConstantHoldsTheEndKeys) {
    auto a = Make(Animation::IM_LINEAR, Animation::RM_CONSTANT, 10, 1, {{0, {0}}, {10, {10}}});
    EXPECT_FLOAT_EQ(Value(a.get(), -1.0f), 0.0f);
    EXPECT_FLOAT_EQ(Value(a.get(), 12.0f), 10.0f);
    EXPECT_FLOAT_EQ(Value(a.get(), 2.5f), 2.5f);
    EXPECT_FLOAT_EQ(a->GetCurveTime(-1.0f), 0.0f);
    EXPECT_FLOAT_EQ(a->GetCurveTime(12.0f), 10.0f);
}

TEST(AnimationRepeat, ConstantHoldTakesTheWholeRangeEvenForSlerp) {
    // The end-key copy is not cut at the quaternion's fourth value.
    auto a = Make(Animation::IM_SLERP, Animation::RM_CONSTANT, 10, 5,
                  {{0, {0, 0, 0, 1, 7}}, {10, {0, 0, 1, 0, 9}}});
    float out[2] = {kSentinel, kSentinel};
    a->GetChannelValues(-1.0f, out, 3, 4, 0);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[1], 7.0f);
    a->GetChannelValues(5.0f, out, 3, 4, 0);
    EXPECT_EQ(out[1], 7.0f);  // inside the period slerp writes only up to w
}

TEST(AnimationRepeat, LoopWithHugeOrNonFiniteTimesReturns) {
    auto a = Make(Animation::IM_LINEAR, Animation::RM_LOOP, 10, 1, {{0, {0}}, {10, {10}}});
    // Repeated subtraction would never finish here: 1e9 - 10 rounds to 1e9.
    EXPECT_FLOAT_EQ(a->GetCurveTime(1e9f), std::fmod(1e9f, 10.0f));
    EXPECT_GE(a->GetCurveTime(-1e30f), 0.0f);
    EXPECT_EQ(a->GetCurveTime(std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(a->GetCurveTime(-std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(a->GetCurveTime(std::nanf("")), 0.0f);
    EXPECT_FLOAT_EQ(Value(a.get(), 1e9f + 3.0f), std::fmod(1e9f + 3.0f, 10.0f));
}

// --- Segments -------------------------------------------------------------

TEST(AnimationSegment, LoopSegmentWrapsFromLastKeyToFirst) {
    // Keys 0, 4, 8, duration 10: at 9 the segment runs from key 2 to key 0
    // over d = 2 with s = 0.5.
    auto a = Make(Animation::IM_LINEAR, Animation::RM_LOOP, 10, 1,
                  {{0, {10}}, {4, {20}}, {8, {30}}});
    EXPECT_FLOAT_EQ(Value(a.get(), 9.0f), 30.0f + (10.0f - 30.0f) * 0.5f);
}

TEST(AnimationSegment, TimeBeforeFirstKeyUsesTheSegmentFromTheLastKey) {
    // Keys 2 and 6, duration 10: at 1 the segment is key 1 -> key 0, d = 6,
    // s = 5/6.
    auto a = Make(Animation::IM_LINEAR, Animation::RM_LOOP, 10, 1, {{2, {0}}, {6, {12}}});
    EXPECT_NEAR(Value(a.get(), 1.0f), 12.0f + (0.0f - 12.0f) * 5.0f / 6.0f, 1e-5f);
}

TEST(AnimationSegment, SharedKeyTimesGiveTheValueOfKeyK) {
    // Two keys at one time: d is 0, s is 0, value of key k (the later one).
    auto a = Make(Animation::IM_LINEAR, Animation::RM_LOOP, 10, 1, {{3, {1}}, {3, {7}}});
    EXPECT_EQ(Value(a.get(), 5.0f), 7.0f);
    EXPECT_EQ(Value(a.get(), 1.0f), 7.0f);
    // A jump inside a sequence: both keys at 5, the later one wins from 5 on.
    auto b = Make(Animation::IM_LINEAR, Animation::RM_CONSTANT, 10, 1,
                  {{0, {0}}, {5, {1}}, {5, {3}}, {10, {4}}});
    EXPECT_FLOAT_EQ(Value(b.get(), 2.5f), 0.5f);
    EXPECT_FLOAT_EQ(Value(b.get(), 5.0f), 3.0f);
    EXPECT_FLOAT_EQ(Value(b.get(), 7.5f), 3.5f);
    for (unsigned int im = 0; im <= 4; ++im) {
        auto c = Make(im, Animation::RM_LOOP, 10, 4, {{3, {0, 0, 0, 1}}, {3, {0, 0, 0, 1}}});
        Quat q = Eval4(c.get(), 6.0f);
        EXPECT_FLOAT_EQ(q.w, 1.0f) << "interpolation " << im;
    }
}

TEST(AnimationSegment, DivTimeOfZeroIsZero) {
    EXPECT_EQ(Animation::DivTime(5.0f, 0.0f), 0.0f);
    EXPECT_EQ(Animation::DivTime(6.0f, 3.0f), 2.0f);
}

// --- Step and linear ------------------------------------------------------

TEST(AnimationStep, HoldsAKeyUntilTheNext) {
    auto a = Make(Animation::IM_STEP, Animation::RM_CONSTANT, 10, 2,
                  {{0, {1, 10}}, {5, {2, 20}}});
    float out[2];
    a->GetChannelValues(4.9f, out, 0, 1, 0);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[1], 10.0f);
    a->GetChannelValues(5.0f, out, 0, 1, 0);
    EXPECT_EQ(out[0], 2.0f);
    EXPECT_EQ(out[1], 20.0f);
}

TEST(AnimationLinear, ChannelsAndComponentOffsets) {
    // Two channels of two components; the output starts at element 0 for the
    // first wanted component.
    auto a = Make(Animation::IM_LINEAR, Animation::RM_CONSTANT, 10, 2,
                  {{0, {0, 1, 100, 200}}, {10, {10, 3, 300, 400}}}, 2);
    float out[2] = {kSentinel, kSentinel};
    a->GetChannelValues(5.0f, out, 1, 1, 1);
    EXPECT_FLOAT_EQ(out[0], 300.0f);
    EXPECT_EQ(out[1], kSentinel);
    a->GetChannelValues(5.0f, out, 0, 1, 0);
    EXPECT_FLOAT_EQ(out[0], 5.0f);
    EXPECT_FLOAT_EQ(out[1], 2.0f);
    EXPECT_FLOAT_EQ(a->GetComponentValue(2.5f, 0, 1), 150.0f);
}

TEST(AnimationLinear, UnknownInterpolationActsAsLinear) {
    auto a = Make(17, Animation::RM_CONSTANT, 10, 1, {{0, {0}}, {10, {10}}});
    EXPECT_FLOAT_EQ(Value(a.get(), 3.0f), 3.0f);
}

// --- Slerp ----------------------------------------------------------------

TEST(AnimationSlerp, MatchesTheSinFormulaForUnitKeys) {
    Quat q0 = AxisAngle(1, 2, 3, 20);
    Quat q1 = AxisAngle(-2, 1, 0.5, 130);
    auto a = Make(Animation::IM_SLERP, Animation::RM_CONSTANT, 10, 4,
                  {{0, V(q0)}, {10, V(q1)}});
    for (double s : {0.0, 0.25, 0.5, 0.8}) {
        Quat r = Eval4(a.get(), float(s * 10.0));
        ExpectQuatNear(ClassicSlerp(q0, q1, s), r, 2e-5f);
    }
}

TEST(AnimationSlerp, FollowsTheStoredSignsWithoutFlipping) {
    // q1 on the far side of the sphere: the long way round, as stored.
    Quat q0 = AxisAngle(0, 0, 1, 10);
    Quat q1 = -AxisAngle(0, 0, 1, 60);
    ASSERT_LT(q0.Dot(q1), 0.0f);
    for (double s : {0.3, 0.5, 0.7}) {
        Quat r = Animation::Slerp(float(s), q0, q1);
        ExpectQuatNear(ClassicSlerp(q0, q1, s), r, 2e-5f);
        // The flipped (shorter) arc would pass near z = sin(17.5 deg) at 0.3.
    }
    Quat mid = Animation::Slerp(0.5f, q0, q1);
    Quat shortMid = ClassicSlerp(q0, -q1, 0.5);
    EXPECT_GT(std::fabs(mid.w - shortMid.w) + std::fabs(mid.z - shortMid.z), 0.1f);
}

TEST(AnimationSlerp, UnnormalisedKeysUseTheFullInverse) {
    // Both keys of length 2: q0^-1 * q1 stays a unit rotation only with the
    // division by |q0|^2, and the result is twice the unit slerp.
    Quat u0 = AxisAngle(0, 1, 0, 0);
    Quat u1 = AxisAngle(0, 1, 0, 90);
    Quat r = Animation::Slerp(0.5f, u0 * 2.0f, u1 * 2.0f);
    ExpectQuatNear(ClassicSlerp(u0, u1, 0.5) * 2.0f, r, 2e-5f);
}

TEST(AnimationSlerp, ComponentRangeIsCutAtW) {
    auto a = Make(Animation::IM_SLERP, Animation::RM_LOOP, 10, 6,
                  {{0, {0, 0, 0, 1, 5, 5}}, {10, {0, 0, 1, 0, 6, 6}}});
    float out[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
    a->GetChannelValues(5.0f, out, 2, 5, 0);
    Quat expected = ClassicSlerp(Quat(0, 0, 0, 1), Quat(0, 0, 1, 0), 0.5);
    EXPECT_NEAR(out[0], expected.z, 1e-5f);
    EXPECT_NEAR(out[1], expected.w, 1e-5f);
    EXPECT_EQ(out[2], kSentinel);
    EXPECT_EQ(out[3], kSentinel);
    float beyond = kSentinel;
    a->GetChannelValues(5.0f, &beyond, 4, 5, 0);
    EXPECT_EQ(beyond, kSentinel);
}

// --- Spline ---------------------------------------------------------------

TEST(AnimationSpline, HermiteBasisAtZeroHalfAndEnd) {
    // Keys 0, 2, 6, 8, loop over 10; segment 2 -> 6: d = 4, both tangent
    // factors 2*4/6, T0 = 0.5*(4-1)*F, T1 = 0.5*(9-3)*F.
    auto a = Make(Animation::IM_SPLINE, Animation::RM_LOOP, 10, 1,
                  {{0, {1}}, {2, {3}}, {6, {4}}, {8, {9}}});
    double f = 8.0 / 6.0;
    double t0 = 0.5 * (4 - 1) * f, t1 = 0.5 * (9 - 3) * f;
    EXPECT_NEAR(Value(a.get(), 2.0f), Hermite(3, 4, t0, t1, 0.0), 1e-5);
    EXPECT_NEAR(Value(a.get(), 4.0f), Hermite(3, 4, t0, t1, 0.5), 1e-5);
    EXPECT_NEAR(Value(a.get(), 5.0f), Hermite(3, 4, t0, t1, 0.75), 1e-5);
    // s -> 1 reaches the next key.
    EXPECT_NEAR(Value(a.get(), 6.0f - 1e-4f), Hermite(3, 4, t0, t1, 1.0), 1e-3);
    EXPECT_NEAR(Hermite(3, 4, t0, t1, 1.0), 4.0, 1e-12);
}

TEST(AnimationSpline, EvenlySpacedLineStaysALine) {
    auto a = Make(Animation::IM_SPLINE, Animation::RM_LOOP, 40, 1,
                  {{0, {0}}, {10, {10}}, {20, {20}}, {30, {30}}});
    for (float t : {10.0f, 12.5f, 15.0f, 19.0f}) EXPECT_NEAR(Value(a.get(), t), t, 1e-4f);
}

TEST(AnimationSpline, ConstantModeStartsWithAFlatTangent) {
    // Segment 0 -> 10 of a line 0, 10, 20 in constant mode: T0 = 0,
    // T1 = 0.5*(20-0)*(2*10/20).
    auto c = Make(Animation::IM_SPLINE, Animation::RM_CONSTANT, 20, 1,
                  {{0, {0}}, {10, {10}}, {20, {20}}});
    EXPECT_NEAR(Value(c.get(), 5.0f), Hermite(0, 10, 0, 10, 0.5), 1e-5);
    EXPECT_NEAR(Value(c.get(), 2.0f), Hermite(0, 10, 0, 10, 0.2), 1e-5);
    // Loop mode has no flat start: the tangent comes from the wrapped key.
    auto l = Make(Animation::IM_SPLINE, Animation::RM_LOOP, 30, 1,
                  {{0, {0}}, {10, {10}}, {20, {20}}});
    double f0 = 2.0 * 10 / 20;  // GetTimeDiff(20, 10) over the period of 30
    EXPECT_NEAR(Value(l.get(), 5.0f), Hermite(0, 10, 0.5 * (10 - 20) * f0, 10, 0.5), 1e-5);
}

TEST(AnimationSpline, ConstantModeLeavesTheLastKeyFlat) {
    // Last key at 10, duration 20: the segment 10 -> (key 0) has F1 = 0.
    auto a = Make(Animation::IM_SPLINE, Animation::RM_CONSTANT, 20, 1,
                  {{0, {0}}, {5, {4}}, {10, {6}}});
    // k = 2, k+1 = 0, k-1 = 1, d = 10; F0 = 2*10/GetTimeDiff(5, 0) = 20/15.
    double f0 = 20.0 / 15.0;
    double t0 = 0.5 * (0 - 4) * f0;
    EXPECT_NEAR(Value(a.get(), 15.0f), Hermite(6, 0, t0, 0, 0.5), 1e-5);
}

// --- Squad ----------------------------------------------------------------

TEST(AnimationSquad, HitsTheKeysAtBothEndsOfASegment) {
    Quat q[4] = {AxisAngle(1, 0, 0, 10), AxisAngle(0, 1, 0, 70), AxisAngle(1, 1, 0, 120),
                 AxisAngle(0, 1, 1, 40)};
    auto a = Make(Animation::IM_SQUAD, Animation::RM_LOOP, 40, 4,
                  {{0, V(q[0])}, {10, V(q[1])}, {20, V(q[2])}, {30, V(q[3])}});
    for (int k = 0; k < 4; ++k) {
        ExpectQuatNear(q[k], Eval4(a.get(), 10.0f * k), 1e-5f);
        // s -> 1 on the segment that ends at key k + 1.
        ExpectQuatNear(q[(k + 1) % 4], Eval4(a.get(), 10.0f * (k + 1) - 1e-3f), 1e-3f);
    }
}

TEST(AnimationSquad, EvenRotationReducesToSlerp) {
    // Keys every 30 degrees about one axis at even times: the incoming and
    // outgoing logarithms agree, the control points lie on the arc and squad
    // turns at constant speed.
    auto a = Make(Animation::IM_SQUAD, Animation::RM_LOOP, 50, 4,
                  {{0, V(AxisAngle(0, 0, 1, 0))},
                   {10, V(AxisAngle(0, 0, 1, 30))},
                   {20, V(AxisAngle(0, 0, 1, 60))},
                   {30, V(AxisAngle(0, 0, 1, 90))},
                   {40, V(AxisAngle(0, 0, 1, 120))}});
    for (float t : {13.0f, 15.0f, 18.0f, 24.0f}) {
        ExpectQuatNear(AxisAngle(0, 0, 1, 3.0 * t), Eval4(a.get(), t), 2e-5f);
    }
}

TEST(AnimationSquad, ConstantModeHasNoEndRule) {
    // Unlike spline, squad tangents at key 0 are the same in both modes.
    std::initializer_list<KeySpec> keys = {{0, V(AxisAngle(1, 0, 0, 0))},
                                           {10, V(AxisAngle(1, 0, 0, 50))},
                                           {20, V(AxisAngle(0, 1, 0, 80))}};
    auto c = Make(Animation::IM_SQUAD, Animation::RM_CONSTANT, 30, 4, keys);
    auto l = Make(Animation::IM_SQUAD, Animation::RM_LOOP, 30, 4, keys);
    for (float t : {3.0f, 5.0f, 12.0f}) ExpectQuatNear(Eval4(l.get(), t), Eval4(c.get(), t), 1e-6f);
}

// --- Derivatives ----------------------------------------------------------

TEST(AnimationDerivative, RampDifferenceClampsAtBothEnds) {
    auto a = Make(Animation::IM_LINEAR, Animation::RM_CONSTANT, 10, 1, {{0, {0}}, {10, {10}}});
    float d = kSentinel;
    a->GetChannelDerivativeValues(5.0f, &d, 0, 0, 0);
    EXPECT_FLOAT_EQ(d, 10.0f);
    auto b = Make(Animation::IM_LINEAR, Animation::RM_CONSTANT, 1000, 1,
                  {{0, {0}}, {1000, {10}}});
    b->GetChannelDerivativeValues(500.0f, &d, 0, 0, 0);
    EXPECT_FLOAT_EQ(d, 2.0f);  // 6 - 4: a plain difference, not divided by 200
}

TEST(AnimationDerivative, ScratchIsMadeOnceOnTheFirstRequest) {
    auto a = Make(Animation::IM_LINEAR, Animation::RM_LOOP, 1000, 3,
                  {{0, {0, 0, 0}}, {1000, {10, 20, 30}}});
    float out[3];
    a->GetChannelValues(100.0f, out, 0, 2, 0);
    EXPECT_EQ(a->scratch, nullptr);
    a->GetChannelDerivativeValues(500.0f, out, 0, 2, 0);
    ASSERT_NE(a->scratch, nullptr);
    float* first = a->scratch;
    EXPECT_FLOAT_EQ(out[0], 2.0f);
    EXPECT_FLOAT_EQ(out[1], 4.0f);
    EXPECT_FLOAT_EQ(out[2], 6.0f);
    a->GetChannelDerivativeValues(300.0f, out, 1, 2, 0);
    EXPECT_EQ(a->scratch, first);
    EXPECT_FLOAT_EQ(out[0], 4.0f);
}

TEST(AnimationDerivative, ComponentsNoEvaluationWritesComeOutZero) {
    auto a = Make(Animation::IM_SLERP, Animation::RM_LOOP, 1000, 5,
                  {{0, {0, 0, 0, 1, 3}}, {1000, {0, 0, 1, 0, 8}}});
    float out[2] = {kSentinel, kSentinel};
    a->GetChannelDerivativeValues(500.0f, out, 3, 4, 0);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_NEAR(out[0], ClassicSlerp(Quat(0, 0, 0, 1), Quat(0, 0, 1, 0), 0.6).w -
                            ClassicSlerp(Quat(0, 0, 0, 1), Quat(0, 0, 1, 0), 0.4).w,
                1e-5f);
}

TEST(AnimationDerivative, NothingToEvaluateWritesNothing) {
    Animation empty;
    float d = kSentinel;
    empty.GetChannelDerivativeValues(5.0f, &d, 0, 0, 0);
    EXPECT_EQ(d, kSentinel);
    EXPECT_EQ(empty.scratch, nullptr);
}

// --- Bad sequences --------------------------------------------------------

TEST(AnimationBadInput, NoSequenceOrNoKeysLeavesTheCallersValues) {
    Animation none;
    float out[2] = {kSentinel, kSentinel};
    none.GetChannelValues(1.0f, out, 0, 1, 0);
    EXPECT_EQ(out[0], kSentinel);
    EXPECT_EQ(none.GetComponentValue(1.0f, 0, 0), 0.0f);
    EXPECT_EQ(none.GetCurveTime(-3.0f), 0.0f);
    for (unsigned int im = 0; im <= 4; ++im) {
        auto a = Make(im, Animation::RM_LOOP, 10, 2, {});
        a->GetChannelValues(4.0f, out, 0, 1, 0);
        EXPECT_EQ(out[0], kSentinel);
        EXPECT_EQ(out[1], kSentinel);
    }
}

TEST(AnimationBadInput, OneKeyGivesItsValueEverywhere) {
    for (unsigned int im = 0; im <= 4; ++im) {
        for (unsigned int rm = 0; rm <= 1; ++rm) {
            auto a = Make(im, rm, 10, 4, {{3, {0, 0.6f, 0, 0.8f}}});
            for (float t : {-5.0f, 0.0f, 2.0f, 3.0f, 7.0f, 25.0f}) {
                Quat q = Eval4(a.get(), t);
                EXPECT_NEAR(q.y, 0.6f, 1e-6f) << im << " " << rm << " " << t;
                EXPECT_NEAR(q.w, 0.8f, 1e-6f) << im << " " << rm << " " << t;
            }
        }
    }
}

TEST(AnimationBadInput, ZeroDurationGivesEndKeys) {
    auto loop = Make(Animation::IM_LINEAR, Animation::RM_LOOP, 0, 1, {{0, {1}}, {10, {2}}});
    EXPECT_EQ(Value(loop.get(), 5.0f), 1.0f);
    EXPECT_EQ(Value(loop.get(), -5.0f), 1.0f);
    auto constant = Make(Animation::IM_SPLINE, Animation::RM_CONSTANT, 0, 1,
                         {{0, {1}}, {10, {2}}});
    EXPECT_EQ(Value(constant.get(), 0.0f), 1.0f);
    EXPECT_EQ(Value(constant.get(), 5.0f), 2.0f);
}

TEST(AnimationBadInput, RangesAndChannelsOutsideTheSequence) {
    auto a = Make(Animation::IM_LINEAR, Animation::RM_CONSTANT, 10, 2,
                  {{0, {0, 0}}, {10, {10, 20}}});
    float out[8];
    for (float& v : out) v = kSentinel;
    a->GetChannelValues(5.0f, out, 0, 7, 0);
    EXPECT_FLOAT_EQ(out[0], 5.0f);
    EXPECT_FLOAT_EQ(out[1], 10.0f);
    for (int i = 2; i < 8; ++i) EXPECT_EQ(out[i], kSentinel);
    for (float& v : out) v = kSentinel;
    a->GetChannelValues(5.0f, out, 0, 1, 1);  // one channel only
    a->GetChannelValues(5.0f, out, 2, 5, 0);  // first past the components
    a->GetChannelValues(5.0f, out, 1, 0, 0);  // first after last
    for (float v : out) EXPECT_EQ(v, kSentinel);
    EXPECT_EQ(a->GetComponentValue(5.0f, 3, 0), 0.0f);
}

TEST(AnimationBadInput, QuaternionInterpolationOfShortKeysFallsBackToLinear) {
    for (unsigned int im : {unsigned(Animation::IM_SLERP), unsigned(Animation::IM_SQUAD)}) {
        auto a = Make(im, Animation::RM_CONSTANT, 10, 3, {{0, {0, 0, 0}}, {10, {2, 4, 6}}});
        float out[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
        a->GetChannelValues(5.0f, out, 0, 3, 0);
        EXPECT_FLOAT_EQ(out[0], 1.0f);
        EXPECT_FLOAT_EQ(out[1], 2.0f);
        EXPECT_FLOAT_EQ(out[2], 3.0f);
        EXPECT_EQ(out[3], kSentinel);
    }
}

TEST(AnimationBadInput, ZeroQuaternionKeysStayFinite) {
    for (unsigned int im : {unsigned(Animation::IM_SLERP), unsigned(Animation::IM_SQUAD)}) {
        auto a = Make(im, Animation::RM_LOOP, 30, 4,
                      {{0, {0, 0, 0, 0}}, {10, {0, 0, 0, 1}}, {20, {0, 1, 0, 0}}});
        for (float t : {2.0f, 12.0f, 25.0f}) {
            Quat q = Eval4(a.get(), t);
            EXPECT_TRUE(std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) &&
                        std::isfinite(q.w))
                << im << " " << t;
        }
    }
}

TEST(AnimationBadInput, NonFiniteTimesGiveFiniteValues) {
    const float inf = std::numeric_limits<float>::infinity();
    for (unsigned int im = 0; im <= 4; ++im) {
        for (unsigned int rm = 0; rm <= 1; ++rm) {
            auto a = Make(im, rm, 30, 4,
                          {{0, V(AxisAngle(1, 0, 0, 0))}, {10, V(AxisAngle(1, 0, 0, 40))},
                           {20, V(AxisAngle(0, 1, 0, 40))}});
            for (float t : {std::nanf(""), inf, -inf}) {
                Quat q = Eval4(a.get(), t);
                EXPECT_TRUE(std::isfinite(q.x) && std::isfinite(q.w)) << im << " " << rm;
            }
        }
    }
}

// --- Allocation -----------------------------------------------------------

TEST(AnimationAllocation, EvaluationAllocatesNothing) {
    std::vector<std::unique_ptr<Animation>> animations;
    for (unsigned int im = 0; im <= 4; ++im)
        for (unsigned int rm = 0; rm <= 1; ++rm)
            animations.push_back(Make(im, rm, 40, 4,
                                      {{0, V(AxisAngle(1, 0, 0, 0))},
                                       {10, V(AxisAngle(1, 0, 0, 40))},
                                       {20, V(AxisAngle(0, 1, 0, 40))},
                                       {30, V(AxisAngle(0, 0, 1, 70))}}));
    float out[4];
    for (auto& a : animations) a->GetChannelDerivativeValues(1.0f, out, 0, 3, 0);
    long before = g_allocations;
    for (auto& a : animations) {
        for (float t = -50.0f; t < 100.0f; t += 3.7f) {
            a->GetChannelValues(t, out, 0, 3, 0);
            a->GetChannelDerivativeValues(t, out, 0, 3, 0);
            (void)a->GetComponentValue(t, 2, 0);
        }
    }
    EXPECT_EQ(g_allocations, before);
}

TEST(AnimationAllocation, FirstDerivativeAllocatesTheScratchOnly) {
    auto a = Make(Animation::IM_LINEAR, Animation::RM_LOOP, 10, 2, {{0, {0, 0}}, {10, {1, 1}}});
    float out[2];
    long before = g_allocations;
    a->GetChannelDerivativeValues(1.0f, out, 0, 1, 0);
    EXPECT_EQ(g_allocations, before + 1);
}
