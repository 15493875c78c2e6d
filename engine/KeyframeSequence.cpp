// Keyframe storage and the searches over key times.
#include "engine/KeyframeSequence.h"

#include <cstddef>

KeyframeSequence::KeyframeSequence(unsigned int componentCount_, unsigned int channelCount_)
    : componentCount(componentCount_), channelCount(channelCount_), keys(10, 10), duration(0.0f) {}

KeyframeSequence::~KeyframeSequence() {
    for (Key& key : keys) delete[] key.values;
}

void KeyframeSequence::AddKey(float time, const float* values) {
    // size_t: the product of two file counts cannot wrap on a 64-bit host.
    size_t n = size_t(componentCount) * channelCount;
    Key key;
    key.time = time;
    key.values = new float[n];
    for (size_t i = 0; i < n; ++i) key.values[i] = values ? values[i] : 0.0f;
    keys.Add(key);
}

int KeyframeSequence::GetCurrentStart(float t) const {
    unsigned int n = keys.Size();
    if (n == 0 || t < keys[0].time) return -1;
    unsigned int i = 0;
    while (i + 1 < n && !(keys[i + 1].time > t)) ++i;
    return int(i);
}

int KeyframeSequence::GetCurrentEnd(float t) const {
    unsigned int n = keys.Size();
    if (n == 0 || t < keys[0].time) return 0;
    for (unsigned int i = 1; i < n; ++i)
        if (keys[i].time > t) return int(i);
    return int(n);
}

float KeyframeSequence::GetTimeDiff(float a, float b) const {
    if (a <= b) return b - a;
    return b + (duration - a);
}
