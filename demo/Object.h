// Root of the script-visible demo classes: every object made by a factory is
// owned by the demo engine's registry and deleted through this destructor.
#pragma once

namespace Demo {

class Object {
public:
    virtual ~Object() {}
};

}  // namespace Demo
