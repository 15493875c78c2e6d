// Keyframe storage and the searches over key times.
#include "engine/KeyframeSequence.h"

#include <cmath>
#include <cstddef>

KeyframeSequence::KeyframeSequence(unsigned int componentCount_, unsigned int channelCount_)
    : componentCount(componentCount_), channelCount(channelCount_), keys(10, 10), duration(0.0f) {}

KeyframeSequence::~KeyframeSequence() {
    for (Key& key : keys) delete[] key.values;
}

void KeyframeSequence::AddKey(float time, const float* values) {
    // size_t: the product of two file counts cannot wrap on a 64-bit host.
    size_t n = size_t(componentCount) * channelCount;
    // Key 0 does not count toward the reach; a NaN time leaves it as it was.
    float latest = -INFINITY;
    if (!keys.Empty()) {
        latest = reach.Empty() ? -INFINITY : reach.Last();
        if (time > latest) latest = time;
    }
    reach.Add(latest);
    Key key;
    key.time = time;
    key.values = nullptr;
    try {
        key.values = new float[n];
        for (size_t i = 0; i < n; ++i) key.values[i] = values ? values[i] : 0.0f;
        keys.Add(key);
    } catch (...) {
        delete[] key.values;
        reach.Pop();
        throw;
    }
}

unsigned int KeyframeSequence::FirstAfter(float t) const {
    unsigned int n = keys.Size();
    if (reach.Size() != n) {
        // Keys added around AddKey: the plain scan.
        for (unsigned int i = 1; i < n; ++i)
            if (keys[i].time > t) return i;
        return n;
    }
    // Every animated value of every frame searches here, and a script may
    // give one sequence millions of keys.
    unsigned int lo = 1, hi = n;
    while (lo < hi) {
        unsigned int mid = lo + (hi - lo) / 2;
        if (reach[mid] > t)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

int KeyframeSequence::GetCurrentStart(float t) const {
    unsigned int n = keys.Size();
    if (n == 0 || t < keys[0].time) return -1;
    return int(FirstAfter(t)) - 1;
}

int KeyframeSequence::GetCurrentEnd(float t) const {
    unsigned int n = keys.Size();
    if (n == 0 || t < keys[0].time) return 0;
    return int(FirstAfter(t));
}

float KeyframeSequence::GetTimeDiff(float a, float b) const {
    if (a <= b) return b - a;
    return b + (duration - a);
}
