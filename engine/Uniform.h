// Named shader value: constants and arrays, a spatial's world transform, or
// the output of an animation.
#pragma once

#include "engine/Actor.h"
#include "engine/Resource.h"

class SceneSpatial;

class Uniform : public Resource, public Actor {
public:
    enum ElementType {
        ET_None = 0,
        ET_Int = 1,
        ET_IVec2 = 2,
        ET_IVec3 = 3,
        ET_IVec4 = 4,
        ET_Float = 5,
        ET_Vec2 = 6,
        ET_Vec3 = 7,
        ET_Vec4 = 8,
        ET_Mat2 = 9,
        ET_Mat3 = 10,
        ET_Mat4 = 11,
        ET_WorldTransform = 12,  // data is a SceneSpatial: its world matrix
        ET_LocalTransform = 13,  // data is a SceneSpatial; uploads nothing
    };
    static const unsigned int kElementTypeCount = 14;

    Uniform();
    explicit Uniform(const char* name);
    // Releases data unless dataShared, name unless nameShared.
    ~Uniform() override;

    unsigned int GetType() const override { return RT_Uniform; }
    ResourceInitializer* CreateInitializer(ResourceManager* manager) override;

    // The earlier name is not released.
    void SetName(const char* name, bool shared);
    // Releases owned data, then takes the pointer as it is (no copy). Owned
    // data must come from new[] of the pointer's type.
    void SetValue(ElementType type, unsigned int count, int* data, bool shared);
    void SetValue(ElementType type, unsigned int count, float* data, bool shared);
    // A scalar of the same type is overwritten in place (through a shared
    // buffer too); otherwise a one-element buffer of its own replaces the data.
    void SetValue(int value);
    void SetValue(float value);
    void AttachWorldTransform(SceneSpatial* spatial);
    void AttachLocalTransform(SceneSpatial* spatial);

    // Only the value (property 4) of a 1- to 4-component animation is taken:
    // the uniform becomes a float or vecN of its own. Other properties are
    // ignored; an animation of another width is refused with a message. Either
    // way binding and data stay as they were. A null animation unbinds.
    void BindProperty(Actor::Property property, Animation* animation) override;
    // Evaluates a bound value animation into the data, so the shader gets the
    // animated value at the next assignment.
    void Update(float time) override;

    // Values per element for scalar and vector types, 0 for the rest.
    static unsigned int ComponentCount(unsigned int elementType);

    unsigned int elementType;  // ElementType
    void* data;  // count elements of elementType, or a SceneSpatial (12, 13)
    unsigned int count;
    bool dataShared;  // true: data is not ours to release
    const char* name;  // looked up in the bound program at each assignment
    bool nameShared;   // false: released (array delete) with the uniform

private:
    void ReleaseData();

    bool dataIsInt;  // owned data came from new int[] rather than new float[]
};
