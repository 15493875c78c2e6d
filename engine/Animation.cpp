// Keyframe evaluation: period mapping, segment search and the five
// interpolations. Nothing here allocates except the derivative's scratch
// array, once.
#include "engine/Animation.h"

#include <cassert>
#include <cmath>
#include <cstddef>

#include "engine/KeyframeSequence.h"

namespace {

// conjugate / |q|^2; the zero quaternion (no rotation at all) inverts to zero
// instead of NaN, so a degenerate key yields zeros rather than poisoning
// every later value.
Quat Inverse(const Quat& q) {
    float lengthSquared = q.LengthSquared();
    if (lengthSquared == 0.0f) return Quat::ZERO;
    return q.Conjugate() / lengthSquared;
}

// log(a^-1 * b): the rotation from a to b as a tangent vector.
Quat LogDiff(const Quat& a, const Quat& b) { return (Inverse(a) * b).Log(); }

}  // namespace

Animation::Animation()
    : sequence(nullptr), interpolation(IM_LINEAR), repeatMode(RM_CONSTANT), scratch(nullptr),
      scratchCount(0) {}

Animation::~Animation() {
    delete sequence;
    delete[] scratch;
}

float Animation::DivTime(float a, float b) { return b == 0.0f ? 0.0f : a / b; }

float Animation::GetCurveTime(float time) const {
    if (!(time == time)) return 0.0f;  // NaN
    float duration = sequence ? sequence->duration : 0.0f;
    if (repeatMode == RM_LOOP && duration > 0.0f && std::isfinite(duration)) {
        if (!std::isfinite(time)) return 0.0f;
        // fmod rather than repeated subtraction: a large time against a short
        // period would take forever, and once t - duration rounds back to t
        // it would never end.
        float t = std::fmod(time, duration);
        if (t < 0.0f) t += duration;
        // A tiny negative time plus the duration can round to the duration.
        if (t >= duration) t = 0.0f;
        return t;
    }
    if (time < 0.0f) return 0.0f;
    if (time > duration) return duration;
    return time;
}

unsigned int Animation::KeyIndex(int i) const {
    long long n = sequence->keys.Size();
    long long m = i % n;
    if (m < 0) m += n;
    return unsigned(m);
}

const float* Animation::KeyValues(unsigned int key, unsigned int channel) const {
    return sequence->keys[key].values + size_t(channel) * sequence->componentCount;
}

Quat Animation::KeyQuat(unsigned int key, unsigned int channel) const {
    const float* v = KeyValues(key, channel);
    return Quat(v[0], v[1], v[2], v[3]);
}

bool Animation::CheckRange(unsigned int first, unsigned int* last, unsigned int channel) const {
    if (!sequence || sequence->keys.Size() == 0 || sequence->componentCount == 0) return false;
    if (channel >= sequence->channelCount) return false;
    if (*last > sequence->componentCount - 1) *last = sequence->componentCount - 1;
    return first <= *last;
}

bool Animation::RangeChecked(unsigned int first, unsigned int last, unsigned int channel) const {
    return sequence && sequence->keys.Size() > 0 && channel < sequence->channelCount &&
           first <= last && last < sequence->componentCount;
}

void Animation::FindSegment(float time, Segment* segment) const {
    const Vector<KeyframeSequence::Key>& keys = sequence->keys;
    segment->k = KeyIndex(sequence->GetCurrentStart(time));
    segment->k1 = KeyIndex(int(segment->k) + 1);
    segment->d = sequence->GetTimeDiff(keys[segment->k].time, keys[segment->k1].time);
    segment->s = DivTime(sequence->GetTimeDiff(keys[segment->k].time, time), segment->d);
}

void Animation::GetChannelValues(float time, float* out, unsigned int first, unsigned int last,
                                 unsigned int channel) {
    if (!CheckRange(first, &last, channel)) return;
    float tc = GetCurveTime(time);
    if (repeatMode != RM_LOOP) {
        // Hold the end keys, tested on the unmapped time.
        unsigned int holdKey;
        if (time <= 0.0f)
            holdKey = 0;
        else if (time >= sequence->duration)
            holdKey = sequence->keys.Size() - 1;
        else
            holdKey = ~0u;
        if (holdKey != ~0u) {
            const float* v = KeyValues(holdKey, channel);
            for (unsigned int c = first; c <= last; ++c) out[c - first] = v[c];
            return;
        }
    }
    switch (interpolation) {
        case IM_SLERP:
            GetSlerpValues(tc, out, first, last, channel);
            break;
        case IM_SPLINE:
            GetSplineValues(tc, out, first, last, channel);
            break;
        case IM_SQUAD:
            GetSquadValues(tc, out, first, last, channel);
            break;
        case IM_STEP:
            GetStepValues(tc, out, first, last, channel);
            break;
        default:
            GetLinearValues(tc, out, first, last, channel);
            break;
    }
}

float Animation::GetComponentValue(float time, unsigned int component, unsigned int channel) {
    float value = 0.0f;
    GetChannelValues(time, &value, component, component, channel);
    return value;
}

void Animation::GetChannelDerivativeValues(float time, float* out, unsigned int first,
                                           unsigned int last, unsigned int channel) {
    if (!CheckRange(first, &last, channel)) return;
    unsigned int count = last - first + 1;
    unsigned int componentCount = sequence->componentCount;
    if (scratchCount < componentCount) {
        delete[] scratch;
        scratch = new float[componentCount];
        scratchCount = componentCount;
    }
    // Both evaluations start from the caller's values, so a component that
    // neither writes (slerp past w) comes out as 0 rather than garbage.
    for (unsigned int i = 0; i < count; ++i) scratch[i] = out[i];
    GetChannelValues(time + 100.0f, out, first, last, channel);
    GetChannelValues(time - 100.0f, scratch, first, last, channel);
    for (unsigned int i = 0; i < count; ++i) out[i] -= scratch[i];
}

void Animation::GetStepValues(float time, float* out, unsigned int first, unsigned int last,
                              unsigned int channel) {
    assert(RangeChecked(first, last, channel));
    const float* v = KeyValues(KeyIndex(sequence->GetCurrentStart(time)), channel);
    for (unsigned int c = first; c <= last; ++c) out[c - first] = v[c];
}

void Animation::GetLinearValues(float time, float* out, unsigned int first, unsigned int last,
                                unsigned int channel) {
    assert(RangeChecked(first, last, channel));
    Segment seg;
    FindSegment(time, &seg);
    const float* v0 = KeyValues(seg.k, channel);
    const float* v1 = KeyValues(seg.k1, channel);
    for (unsigned int c = first; c <= last; ++c) out[c - first] = v0[c] + (v1[c] - v0[c]) * seg.s;
}

Quat Animation::Slerp(float s, const Quat& q0, const Quat& q1) {
    return q0 * (LogDiff(q0, q1) * s).Exp();
}

void Animation::GetSlerpValues(float time, float* out, unsigned int first, unsigned int last,
                               unsigned int channel) {
    assert(RangeChecked(first, last, channel));
    // A key shorter than a quaternion cannot be read as one.
    if (sequence->componentCount < 4) {
        GetLinearValues(time, out, first, last, channel);
        return;
    }
    Segment seg;
    FindSegment(time, &seg);
    Quat r = Slerp(seg.s, KeyQuat(seg.k, channel), KeyQuat(seg.k1, channel));
    for (unsigned int c = first; c <= last && c < 4; ++c) out[c - first] = r[int(c)];
}

void Animation::GetSplineValues(float time, float* out, unsigned int first, unsigned int last,
                                unsigned int channel) {
    assert(RangeChecked(first, last, channel));
    // Hermite basis, rows applied to (v[k], v[k + 1], T0, T1).
    static const float H[4][4] = {
        {2.0f, -2.0f, 1.0f, 1.0f},
        {-3.0f, 3.0f, -2.0f, -1.0f},
        {0.0f, 0.0f, 1.0f, 0.0f},
        {1.0f, 0.0f, 0.0f, 0.0f},
    };
    const Vector<KeyframeSequence::Key>& keys = sequence->keys;
    Segment seg;
    FindSegment(time, &seg);
    unsigned int km = KeyIndex(int(seg.k) - 1);
    unsigned int k2 = KeyIndex(int(seg.k) + 2);
    float f0 = DivTime(2.0f * seg.d, sequence->GetTimeDiff(keys[km].time, keys[seg.k1].time));
    float f1 = DivTime(2.0f * seg.d, sequence->GetTimeDiff(keys[seg.k].time, keys[k2].time));
    if (repeatMode != RM_LOOP) {
        // Flat tangents where the curve leaves the last key or starts at key 0.
        if (seg.k + 1 >= keys.Size()) f1 = 0.0f;
        if (seg.k == 0) f0 = 0.0f;
    }
    const float* vm = KeyValues(km, channel);
    const float* v0 = KeyValues(seg.k, channel);
    const float* v1 = KeyValues(seg.k1, channel);
    const float* v2 = KeyValues(k2, channel);
    float s = seg.s;
    float S[4] = {s * s * s, s * s, s, 1.0f};
    for (unsigned int c = first; c <= last; ++c) {
        float G[4] = {v0[c], v1[c], 0.5f * (v1[c] - vm[c]) * f0, 0.5f * (v2[c] - v0[c]) * f1};
        float value = 0.0f;
        for (int i = 0; i < 4; ++i)
            value += S[i] * (H[i][0] * G[0] + H[i][1] * G[1] + H[i][2] * G[2] + H[i][3] * G[3]);
        out[c - first] = value;
    }
}

void Animation::GetSquadValues(float time, float* out, unsigned int first, unsigned int last,
                               unsigned int channel) {
    assert(RangeChecked(first, last, channel));
    if (sequence->componentCount < 4) {
        GetLinearValues(time, out, first, last, channel);
        return;
    }
    const Vector<KeyframeSequence::Key>& keys = sequence->keys;
    Segment seg;
    FindSegment(time, &seg);
    unsigned int km = KeyIndex(int(seg.k) - 1);
    unsigned int k2 = KeyIndex(int(seg.k) + 2);
    float fa = DivTime(2.0f * seg.d, sequence->GetTimeDiff(keys[km].time, keys[seg.k1].time));
    float fb = DivTime(2.0f * seg.d, sequence->GetTimeDiff(keys[seg.k].time, keys[k2].time));
    Quat qm = KeyQuat(km, channel);
    Quat q0 = KeyQuat(seg.k, channel);
    Quat q1 = KeyQuat(seg.k1, channel);
    Quat q2 = KeyQuat(k2, channel);
    // Incoming and outgoing differences are both taken as logarithms, so the
    // tangents are averages of tangent vectors; an even rotation then has
    // control points on its own arc and squad reduces to slerp.
    Quat inK = LogDiff(qm, q0);
    Quat outK = LogDiff(q0, q1);
    Quat outK1 = LogDiff(q1, q2);
    Quat tk = (inK + outK) * 0.5f;
    Quat tk1 = (outK + outK1) * 0.5f;
    Quat a = q0 * ((tk * fa - outK) * 0.5f).Exp();
    Quat b = q1 * ((outK - tk1 * fb) * 0.5f).Exp();
    float s = seg.s;
    Quat r = Slerp(2.0f * s * (1.0f - s), Slerp(s, q0, q1), Slerp(s, a, b));
    for (unsigned int c = first; c <= last && c < 4; ++c) out[c - first] = r[int(c)];
}
