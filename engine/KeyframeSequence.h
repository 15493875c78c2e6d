// Keys of an animation: times in ascending order, each with the values of
// every channel.
#pragma once

#include "math/Types.h"

class KeyframeSequence {
public:
    struct Key {
        float time;
        // channelCount x componentCount values, channel after channel; owned
        // by the sequence, allocated with new float[].
        float* values;
    };

    explicit KeyframeSequence(unsigned int componentCount, unsigned int channelCount = 1);
    // Frees every key's values.
    ~KeyframeSequence();
    KeyframeSequence(const KeyframeSequence&) = delete;
    KeyframeSequence& operator=(const KeyframeSequence&) = delete;

    // Appends a key with a copy of componentCount x channelCount values (zeros
    // when values is null). Keys must be added in ascending time.
    void AddKey(float time, const float* values);
    // Values per key.
    unsigned int KeySize() const { return componentCount * channelCount; }

    float GetStartTime() const { return 0.0f; }
    float GetEndTime() const { return duration; }
    // -1 when there are no keys or t is before the first key; else the last
    // key whose time is not after t.
    int GetCurrentStart(float t) const;
    // 0 when there are no keys or t is before the first key; else the first
    // key after key 0 whose time is after t, or the key count.
    int GetCurrentEnd(float t) const;
    // Time from a forward to b, across the end of the period when a > b.
    float GetTimeDiff(float a, float b) const;

    unsigned int componentCount;
    unsigned int channelCount;
    Vector<Key> keys;
    float duration;  // length of one period; 0 after construction
    // reach[i]: the latest time among keys 1..i (-inf for key 0; a NaN time
    // never counts). It never decreases, so the searches bisect it whatever
    // order the keys came in. Kept by AddKey.
    Vector<float> reach;

private:
    // The first key after key 0 whose time is after t, or the key count.
    unsigned int FirstAfter(float t) const;
};
