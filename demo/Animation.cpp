// Script animations: an engine animation filled key by key.
#include "demo/Animation.h"

#include <cstdio>

#include "demo/Engine.h"
#include "engine/KeyframeSequence.h"

namespace Demo {

const unsigned int Animation::sc_interpTab[5] = {
    ::Animation::IM_LINEAR, ::Animation::IM_SLERP, ::Animation::IM_SPLINE, ::Animation::IM_SQUAD,
    ::Animation::IM_STEP};
const unsigned int Animation::sc_repeatTab[2] = {::Animation::RM_CONSTANT, ::Animation::RM_LOOP};

Animation::Animation(InterpolationMode mode, RepeatMode repeat, unsigned int components_)
    : sequence(nullptr), components(components_) {
    // Script numbers arrive unchecked; the tables would be read past their end.
    if (unsigned(mode) >= 5) {
        printf("Demo::Animation::Animation(): unknown interpolation %u, using IM_LINEAR\n",
               unsigned(mode));
        mode = IM_LINEAR;
    }
    if (unsigned(repeat) >= 2) {
        printf("Demo::Animation::Animation(): unknown repeat mode %u, using RM_CONSTANT\n",
               unsigned(repeat));
        repeat = RM_CONSTANT;
    }
    // Every key allocates `components` values; a script's count must not
    // size that unchecked.
    if (components > kMaxComponents) {
        printf("Demo::Animation::Animation(): %u components, using %u\n", components,
               kMaxComponents);
        components = kMaxComponents;
    }
    sequence = new KeyframeSequence(components);
    animation.sequence = sequence;
    animation.interpolation = sc_interpTab[mode];
    animation.repeatMode = sc_repeatTab[repeat];
}

Animation::~Animation() {}

Animation* Animation::New(InterpolationMode mode, RepeatMode repeat, unsigned int components) {
    Animation* animation = new Animation(mode, repeat, components);
    Engine::GetEngine()->Register(animation);
    return animation;
}

Animation* Animation::New(InterpolationMode mode, RepeatMode repeat) {
    return New(mode, repeat, 1);
}

void Animation::SetDuration(float ms) { sequence->duration = ms; }

void Animation::AddKey(float time, const float* values, unsigned int n) {
    float key[kMaxComponents] = {0.0f, 0.0f, 0.0f, 0.0f};
    unsigned int copied = n < components ? n : components;
    if (!values) copied = 0;
    for (unsigned int i = 0; i < copied; ++i) key[i] = values[i];
    // The sequence copies `components` values into a block of its own (with
    // 16 bytes of heap header), beside the key and its reach.
    Engine::ChargeCurrent(sizeof(::KeyframeSequence::Key) + sizeof(float) +
                          components * sizeof(float) + 16);
    sequence->AddKey(time, key);
}

void Animation::AddKey(float time, float a) {
    float values[1] = {a};
    AddKey(time, values, 1);
}

void Animation::AddKey(float time, float a, float b) {
    float values[2] = {a, b};
    AddKey(time, values, 2);
}

void Animation::AddKey(float time, float a, float b, float c) {
    float values[3] = {a, b, c};
    AddKey(time, values, 3);
}

void Animation::AddKey(float time, float a, float b, float c, float d) {
    float values[4] = {a, b, c, d};
    AddKey(time, values, 4);
}

void Animation::AddKey(float time, bool on) {
    float value = on ? 1.0f : 0.0f;
    AddKey(time, &value, 1);
}

}  // namespace Demo
