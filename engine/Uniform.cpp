// Uniform values: ownership of their data and the binding to an animation.
#include "engine/Uniform.h"

#include <cmath>
#include <cstdio>

#include "engine/Animation.h"
#include "engine/KeyframeSequence.h"
#include "engine/ResourceManager.h"

namespace {

// Nearest int, NaN as 0, clamped to the int range (a plain cast of an out of
// range float is undefined).
int ToInt(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) return 2147483520;
    if (v <= -2147483648.0f) return -2147483647 - 1;
    return int(std::floor(v + 0.5f));
}

}  // namespace

Uniform::Uniform() : Uniform(nullptr) {}

Uniform::Uniform(const char* name_)
    : elementType(ET_None), data(nullptr), count(0), dataShared(true), name(name_),
      nameShared(true), dataIsInt(false) {}

Uniform::~Uniform() {
    ReleaseData();
    if (!nameShared) delete[] name;
}

ResourceInitializer* Uniform::CreateInitializer(ResourceManager* manager) {
    return manager->CreateInitializer(this);
}

void Uniform::ReleaseData() {
    if (data && !dataShared) {
        if (dataIsInt)
            delete[] static_cast<int*>(data);
        else
            delete[] static_cast<float*>(data);
    }
    data = nullptr;
}

void Uniform::SetName(const char* name_, bool shared) {
    name = name_;
    nameShared = shared;
}

void Uniform::SetValue(ElementType type, unsigned int count_, int* data_, bool shared) {
    // Handing back our own block must not free it.
    if (data_ != data) ReleaseData();
    elementType = type;
    count = count_;
    data = data_;
    dataShared = shared;
    dataIsInt = true;
}

void Uniform::SetValue(ElementType type, unsigned int count_, float* data_, bool shared) {
    if (data_ != data) ReleaseData();
    elementType = type;
    count = count_;
    data = data_;
    dataShared = shared;
    dataIsInt = false;
}

void Uniform::SetValue(int value) {
    if (elementType == ET_Int && data && count > 0) {
        *static_cast<int*>(data) = value;
        return;
    }
    int* buffer = new int[1];
    buffer[0] = value;
    ReleaseData();
    elementType = ET_Int;
    count = 1;
    data = buffer;
    dataShared = false;
    dataIsInt = true;
}

void Uniform::SetValue(float value) {
    if (elementType == ET_Float && data && count > 0) {
        *static_cast<float*>(data) = value;
        return;
    }
    float* buffer = new float[1];
    buffer[0] = value;
    ReleaseData();
    elementType = ET_Float;
    count = 1;
    data = buffer;
    dataShared = false;
    dataIsInt = false;
}

void Uniform::AttachWorldTransform(SceneSpatial* spatial) {
    ReleaseData();
    data = spatial;
    elementType = ET_WorldTransform;
    count = 1;
    dataShared = true;
}

void Uniform::AttachLocalTransform(SceneSpatial* spatial) {
    ReleaseData();
    data = spatial;
    elementType = ET_LocalTransform;
    count = 1;
    dataShared = true;
}

void Uniform::BindProperty(Actor::Property property, Animation* animation) {
    // A uniform animates only its value; other properties are ignored.
    if (property != P_Value) return;
    if (!animation) {
        bindings[P_Value] = nullptr;
        return;
    }
    unsigned int n = animation->sequence ? animation->sequence->componentCount : 0;
    // A uniform holds at most a vec4; wider or empty animations have no type.
    if (n < 1 || n > 4) {
        printf("Uniform::BindProperty(): animation has %u components, expecting 1 to 4\n", n);
        return;
    }
    float* buffer = new float[n];
    for (unsigned int i = 0; i < n; ++i) buffer[i] = 0.0f;
    ReleaseData();
    elementType = ET_IVec4 + n;  // float, vec2, vec3, vec4
    data = buffer;
    count = 1;
    dataShared = false;
    dataIsInt = false;
    bindings[P_Value] = animation;
}

unsigned int Uniform::ComponentCount(unsigned int type) {
    switch (type) {
        case ET_Int:
        case ET_Float:
            return 1;
        case ET_IVec2:
        case ET_Vec2:
            return 2;
        case ET_IVec3:
        case ET_Vec3:
            return 3;
        case ET_IVec4:
        case ET_Vec4:
            return 4;
        default:
            return 0;
    }
}

void Uniform::Update(float time) {
    Animation* animation = bindings[P_Value];
    if (!animation || !data || count == 0) return;
    // Matrices and transforms are not animated: their channel layout is not
    // defined, and a transform's data is a node, not values.
    unsigned int c = ComponentCount(elementType);
    if (c == 0) return;
    if (elementType >= ET_Float) {
        animation->GetChannelValues(time, static_cast<float*>(data), 0, c - 1, 0);
        return;
    }
    // Integer data (set after binding) receives the value rounded, never
    // float bits.
    int* ints = static_cast<int*>(data);
    float values[4];
    for (unsigned int i = 0; i < c; ++i) values[i] = float(ints[i]);
    animation->GetChannelValues(time, values, 0, c - 1, 0);
    for (unsigned int i = 0; i < c; ++i) ints[i] = ToInt(values[i]);
}
