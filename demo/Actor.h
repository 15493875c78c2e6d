// A demo object moved once per frame together with the part it is attached to.
#pragma once

#include "demo/Object.h"

namespace Demo {

class Actor : public Object {
public:
    ~Actor() override {}
    // time: the part's local time, milliseconds.
    virtual void Update(float time) = 0;
};

}  // namespace Demo
