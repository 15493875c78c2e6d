// Animation-binding mix-in of engine objects: up to five properties, each bound
// to a keyframe animation that the object evaluates in Update.
#pragma once

class Animation;

class Actor {
public:
    enum Property {
        P_Rotation = 0,  // 4 channels, a quaternion
        P_Scale = 1,     // 3 channels
        P_Location = 2,  // 3 channels
        P_Enable = 3,    // 1 channel, a pass's enable switch
        P_Value = 4,     // a uniform's value
    };
    static constexpr unsigned int kPropertyCount = 5;

    Actor() { ClearPropertyBindings(); }

    // p outside 0..4 is ignored.
    virtual void BindProperty(Property p, Animation* animation) {
        if (unsigned(p) < kPropertyCount) bindings[p] = animation;
    }
    virtual void ClearPropertyBindings() {
        for (unsigned int i = 0; i < kPropertyCount; ++i) bindings[i] = nullptr;
    }
    virtual void Update(float time) = 0;
    virtual ~Actor() {}

    // Not owned.
    Animation* bindings[kPropertyCount];
};
