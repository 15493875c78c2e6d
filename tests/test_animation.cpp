// Keyframe evaluation: period mapping, segments, the five interpolations
// against independent formulas, bad sequences, no allocation.
#include "engine/Animation.h"
#include "engine/KeyframeSequence.h"
#include "support/CountingNew.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace {

using Keys = std::vector<std::pair<float, std::vector<float>>>;
const float kS = -777.0f;  // a caller's value that must stay untouched
const float kInf = std::numeric_limits<float>::infinity();
const unsigned int kLinear = Animation::IM_LINEAR, kSlerp = Animation::IM_SLERP,
                   kSpline = Animation::IM_SPLINE, kSquad = Animation::IM_SQUAD;
const unsigned int kHold = Animation::RM_CONSTANT, kLoop = Animation::RM_LOOP;

std::unique_ptr<Animation> Make(unsigned int interpolation, unsigned int repeat, float duration,
                                unsigned int components, const Keys& keys,
                                unsigned int channels = 1) {
    std::unique_ptr<Animation> a(new Animation);
    a->sequence = new KeyframeSequence(components, channels);
    a->sequence->duration = duration;
    for (const auto& k : keys) a->sequence->AddKey(k.first, k.second.data());
    a->interpolation = interpolation;
    a->repeatMode = repeat;
    return a;
}

float Value(Animation* a, float t) { return a->GetComponentValue(t, 0, 0); }

Quat Eval4(Animation* a, float t) {
    float v[4] = {0, 0, 0, 0};
    a->GetChannelValues(t, v, 0, 3, 0);
    return Quat(v[0], v[1], v[2], v[3]);
}

Quat AxisAngle(double x, double y, double z, double degrees) {
    double h = degrees * M_PI / 360.0, s = std::sin(h) / std::sqrt(x * x + y * y + z * z);
    return Quat(float(x * s), float(y * s), float(z * s), float(std::cos(h)));
}

std::vector<float> V(const Quat& q) { return {q.x, q.y, q.z, q.w}; }

// Textbook slerp of unit quaternions, without the shorter-arc flip.
Quat ClassicSlerp(const Quat& a, const Quat& b, double s) {
    double omega = std::acos(std::max(-1.0, std::min(1.0, double(a.Dot(b)))));
    return a * float(std::sin((1 - s) * omega) / std::sin(omega)) +
           b * float(std::sin(s * omega) / std::sin(omega));
}

void ExpectQuatNear(const Quat& expected, const Quat& actual, float tolerance) {
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(expected[i], actual[i], tolerance) << "component " << i;
}

// Cubic Hermite basis written out, independent of the matrix form.
double Hermite(double p0, double p1, double m0, double m1, double s) {
    return (2 * s * s * s - 3 * s * s + 1) * p0 + (3 - 2 * s) * s * s * p1 +
           (s - 1) * (s - 1) * s * m0 + (s - 1) * s * s * m1;
}

}  // namespace

TEST(AnimationRepeat, LoopWrapsAndConstantHoldsTheEnds) {
    struct {
        unsigned int repeat;
        float time, want;  // mapped time, and the value of the ramp 0 -> 10
    } rows[] = {
        {kLoop, 25, 5}, {kLoop, -2.5f, 7.5f}, {kLoop, 10, 0}, {kLoop, kInf, 0},
        {kLoop, -kInf, 0}, {kLoop, std::nanf(""), 0}, {kHold, -1, 0}, {kHold, 12, 10},
        // fmod, not repeated subtraction: 1e9 - 10 rounds back to 1e9.
        {kLoop, 1e9f, std::fmod(1e9f, 10.0f)}, {kHold, 2.5f, 2.5f},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "repeat " << r.repeat << " at " << r.time);
        auto a = Make(kLinear, r.repeat, 10, 1, {{0, {0}}, {10, {10}}});
        EXPECT_FLOAT_EQ(a->GetCurveTime(r.time), r.want);
        EXPECT_FLOAT_EQ(Value(a.get(), r.time), r.want);
    }
    // A tiny negative time must not land on the duration itself.
    EXPECT_LT(Make(kLinear, kLoop, 10, 1, {{0, {0}}, {10, {10}}})->GetCurveTime(-1e-8f), 10.0f);
}

TEST(AnimationSegment, WrapsAroundThePeriodAndTakesTheLaterOfSharedKeys) {
    // Keys 0, 4, 8, duration 10: at 9 the segment is key 2 -> key 0, s = 0.5.
    auto a = Make(kLinear, kLoop, 10, 1, {{0, {10}}, {4, {20}}, {8, {30}}});
    EXPECT_FLOAT_EQ(Value(a.get(), 9.0f), 20.0f);
    // First key at 2: at 1 the segment is key 1 -> key 0, d = 6, s = 5/6.
    auto b = Make(kLinear, kLoop, 10, 1, {{2, {0}}, {6, {12}}});
    EXPECT_NEAR(Value(b.get(), 1.0f), 2.0f, 1e-5f);
    // Two keys at 5: a jump, the later one wins from 5 on.
    auto c = Make(kLinear, kHold, 10, 1, {{0, {0}}, {5, {1}}, {5, {3}}, {10, {4}}});
    EXPECT_FLOAT_EQ(Value(c.get(), 5.0f), 3.0f);
    EXPECT_FLOAT_EQ(Value(c.get(), 7.5f), 3.5f);
    for (unsigned int im = 0; im <= 4; ++im) {  // every key at one time: d = 0
        auto d = Make(im, kLoop, 10, 4, {{3, {0, 0, 0, 1}}, {3, {0, 0, 0, 1}}});
        EXPECT_FLOAT_EQ(Eval4(d.get(), 6.0f).w, 1.0f) << "interpolation " << im;
    }
}

TEST(AnimationStepLinear, StepHoldsAKeyAndLinearReadsItsChannel) {
    auto a = Make(Animation::IM_STEP, kHold, 10, 2, {{0, {1, 10}}, {5, {2, 20}}});
    EXPECT_EQ(a->GetComponentValue(4.9f, 1, 0), 10.0f);
    EXPECT_EQ(a->GetComponentValue(5.0f, 1, 0), 20.0f);
    // Two channels of two components: the output starts at the first wanted one.
    auto b = Make(kLinear, kHold, 10, 2, {{0, {0, 1, 100, 200}}, {10, {10, 3, 300, 400}}}, 2);
    float out[2] = {kS, kS};
    b->GetChannelValues(5.0f, out, 1, 1, 1);
    EXPECT_EQ(std::vector<float>(out, out + 2), (std::vector<float>{300, kS}));
}

TEST(AnimationSlerp, MatchesTheSinFormulaAlongTheStoredSigns) {
    Quat q0 = AxisAngle(1, 2, 3, 20), q1 = AxisAngle(-2, 1, 0.5, 130);
    auto a = Make(kSlerp, kHold, 10, 4, {{0, V(q0)}, {10, V(q1)}});
    for (double s : {0.0, 0.25, 0.5, 0.8})
        ExpectQuatNear(ClassicSlerp(q0, q1, s), Eval4(a.get(), float(s * 10.0)), 2e-5f);
    // Keys on opposite sides of the sphere: no flip, the long way round.
    Quat z10 = AxisAngle(0, 0, 1, 10), far = -AxisAngle(0, 0, 1, 60);
    ASSERT_LT(z10.Dot(far), 0.0f);
    ExpectQuatNear(ClassicSlerp(z10, far, 0.3), Animation::Slerp(0.3f, z10, far), 2e-5f);
    // Keys of length 2: only the full inverse keeps q0^-1 * q1 a unit rotation.
    ExpectQuatNear(ClassicSlerp(z10, far, 0.5) * 2.0f,
                   Animation::Slerp(0.5f, z10 * 2.0f, far * 2.0f), 2e-5f);
}

TEST(AnimationSlerp, ComponentRangeTwoToFiveStopsAtWExceptWhenHolding) {
    auto a = Make(kSlerp, kHold, 10, 6, {{0, {0, 0, 0, 1, 5, 5}}, {10, {0, 0, 1, 0, 6, 7}}});
    float out[4] = {kS, kS, kS, kS};
    a->GetChannelValues(5.0f, out, 2, 5, 0);
    EXPECT_NEAR(out[0], std::sqrt(0.5f), 1e-6f);  // halfway through 180 degrees: z, w
    EXPECT_NEAR(out[1], std::sqrt(0.5f), 1e-6f);
    EXPECT_EQ(std::vector<float>(out + 2, out + 4), (std::vector<float>{kS, kS}));
    // The end-key copy is not cut at the quaternion's fourth value.
    a->GetChannelValues(12.0f, out, 2, 5, 0);
    EXPECT_EQ(std::vector<float>(out, out + 4), (std::vector<float>{1, 0, 6, 7}));
}

TEST(AnimationSpline, HermiteBasisAtZeroHalfAndOne) {
    // Keys 0, 2, 6, 8, loop over 10; segment 2 -> 6: d = 4, both tangent
    // factors 2*4/6, T0 = 0.5*(4-1)*F, T1 = 0.5*(9-3)*F.
    auto a = Make(kSpline, kLoop, 10, 1, {{0, {1}}, {2, {3}}, {6, {4}}, {8, {9}}});
    double f = 8.0 / 6.0, t0 = 0.5 * 3 * f, t1 = 0.5 * 6 * f;
    for (double s : {0.0, 0.5, 0.75})
        EXPECT_NEAR(Value(a.get(), float(2 + 4 * s)), Hermite(3, 4, t0, t1, s), 1e-5) << s;
    EXPECT_NEAR(Value(a.get(), 6.0f - 1e-4f), Hermite(3, 4, t0, t1, 1.0), 1e-3);
}

TEST(AnimationSpline, ConstantModeFlattensTheStartAndTheLastKey) {
    // Segment 0 -> 10 of 0, 10, 20: T1 = 0.5*(20-0)*(2*10/20) in both modes; T0 is
    // 0 in constant mode, from the wrapped key 0.5*(10-20)*(2*10/20) in loop mode.
    Keys line = {{0, {0}}, {10, {10}}, {20, {20}}};
    auto c = Make(kSpline, kHold, 20, 1, line), l = Make(kSpline, kLoop, 30, 1, line);
    for (double s : {0.2, 0.5}) {
        EXPECT_NEAR(Value(c.get(), float(10 * s)), Hermite(0, 10, 0, 10, s), 1e-5) << s;
        EXPECT_NEAR(Value(l.get(), float(10 * s)), Hermite(0, 10, -5, 10, s), 1e-5) << s;
    }
    // Last key at 10 of 20: segment 10 -> key 0 has T1 = 0, F0 = 2*10/15.
    auto e = Make(kSpline, kHold, 20, 1, {{0, {0}}, {5, {4}}, {10, {6}}});
    EXPECT_NEAR(Value(e.get(), 15.0f), Hermite(6, 0, 0.5 * -4 * 20.0 / 15.0, 0, 0.5), 1e-5);
}

TEST(AnimationSquad, EvenRotationReducesToSlerp) {
    // Keys every 30 degrees about one axis at even times: with the incoming and
    // outgoing differences both logarithms, squad turns at constant speed.
    Keys keys;
    for (int i = 0; i <= 4; ++i) keys.push_back({10.0f * i, V(AxisAngle(0, 0, 1, 30.0 * i))});
    auto a = Make(kSquad, kLoop, 50, 4, keys);
    for (float t : {10.0f, 13.0f, 15.0f, 18.0f, 24.0f})
        ExpectQuatNear(AxisAngle(0, 0, 1, 3.0 * t), Eval4(a.get(), t), 2e-5f);
}

TEST(AnimationBadInput, OnlyWhatTheSequenceHoldsIsWritten) {
    Keys none, one = {{3, {0, 0.6f, 0, 0.8f}}}, ramp = {{0, {0, 0}}, {10, {10, 20}}};
    Keys narrow = {{0, {0, 0, 0}}, {10, {2, 4, 6}}}, twoKeys = {{0, {1}}, {10, {2}}};
    struct {
        const char* what;
        unsigned int interpolation, repeat, components;
        float duration, time;
        const Keys& keys;
        unsigned int first, last, channel;
        std::vector<float> want;  // the rest of the caller's buffer stays
    } rows[] = {
        {"no keys", kSquad, kLoop, 2, 10, 4, none, 0, 1, 0, {}},
        {"one key, squad", kSquad, kLoop, 4, 10, -5, one, 0, 3, 0, {0, 0.6f, 0, 0.8f}},
        {"duration 0, loop", kLinear, kLoop, 1, 0, 5, twoKeys, 0, 0, 0, {1}},
        {"duration 0, constant", kSpline, kHold, 1, 0, 5, twoKeys, 0, 0, 0, {2}},
        {"range too wide", kLinear, kHold, 2, 10, 5, ramp, 0, 7, 0, {5, 10}},
        {"first past the components", kLinear, kHold, 2, 10, 5, ramp, 2, 5, 0, {}},
        {"first after last", kLinear, kHold, 2, 10, 5, ramp, 1, 0, 0, {}},
        {"channel past the count", kLinear, kHold, 2, 10, 5, ramp, 0, 1, 1, {}},
        {"slerp of 3 components", kSlerp, kHold, 3, 10, 5, narrow, 0, 3, 0, {1, 2, 3}},
        {"squad of 3 components", kSquad, kHold, 3, 10, 5, narrow, 0, 3, 0, {1, 2, 3}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        auto a = Make(r.interpolation, r.repeat, r.duration, r.components, r.keys);
        float out[8] = {kS, kS, kS, kS, kS, kS, kS, kS};
        a->GetChannelValues(r.time, out, r.first, r.last, r.channel);
        for (unsigned int i = 0; i < 8; ++i)
            EXPECT_NEAR(out[i], i < r.want.size() ? r.want[i] : kS, 1e-6f) << "element " << i;
    }
    Animation noSequence;
    float d = kS;
    noSequence.GetChannelValues(1.0f, &d, 0, 0, 0);
    EXPECT_EQ(d, kS);
}

TEST(AnimationSweep, EveryModeStaysFiniteAndAllocatesNothing) {
    // A zero quaternion key and non-finite times must not poison the values.
    Keys keys = {{0, {0, 0, 0, 0}}, {10, V(AxisAngle(1, 0, 0, 40))},
                 {20, V(AxisAngle(0, 1, 0, 40))}, {30, V(AxisAngle(0, 0, 1, 70))}};
    std::vector<std::unique_ptr<Animation>> all;
    for (unsigned int im = 0; im <= 4; ++im)
        for (unsigned int rm : {kHold, kLoop}) all.push_back(Make(im, rm, 40, 4, keys));
    std::vector<float> times = {std::nanf(""), kInf, -kInf};
    for (float t = -50.0f; t < 100.0f; t += 3.7f) times.push_back(t);
    long before = testsupport::Allocations::count;
    for (size_t i = 0; i < all.size(); ++i) {
        for (float t : times) {
            Quat q = Eval4(all[i].get(), t);
            EXPECT_TRUE(std::isfinite(q.Dot(q))) << "case " << i << " at " << t;
        }
    }
    EXPECT_EQ(testsupport::Allocations::count, before);
}

// The key searches bisect, and still answer as a scan from key 0 would, for
// keys out of order, repeated or NaN; a million keys take a million searches
// in well under a second where the scan took hours.
TEST(KeySearch, BisectionAnswersAsTheScanForAnyKeyOrder) {
    auto scanStart = [](const std::vector<float>& times, float t) {
        if (times.empty() || t < times[0]) return -1;
        int i = 0;
        while (i + 1 < int(times.size()) && !(times[size_t(i) + 1] > t)) ++i;
        return i;
    };
    const float nan = std::nanf("");
    std::srand(5);
    for (int round = 0; round < 200; ++round) {
        std::vector<float> times;
        KeyframeSequence s(1);
        for (int k = std::rand() % 12; k > 0; --k) {
            int r = std::rand() % 16;
            times.push_back(r == 15 ? nan : r == 14 ? -kInf : float(r % 10));
            s.AddKey(times.back(), nullptr);
        }
        for (float t : {-kInf, -1.0f, 0.0f, 2.5f, 3.0f, 7.0f, 9.0f, 12.0f, kInf, nan}) {
            int want = scanStart(times, t);
            ASSERT_EQ(s.GetCurrentStart(t), want) << "round " << round << " t " << t;
            ASSERT_EQ(s.GetCurrentEnd(t), want < 0 ? 0 : want + 1) << "round " << round << " t " << t;
        }
    }
    KeyframeSequence many(1);
    for (int k = 0; k < 1000000; ++k) many.AddKey(float(k), nullptr);
    long long sum = 0;
    for (int k = 0; k < 1000000; ++k) sum += many.GetCurrentStart(float(k) + 0.5f);
    EXPECT_EQ(sum, 999999LL * 1000000 / 2);
}
