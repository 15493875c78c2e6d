// Root of the script-visible demo classes: every object made by a factory is
// owned by the demo engine's registry and deleted through this destructor.
#pragma once

namespace Demo {

class Object {
public:
    virtual ~Object() {}
    // What the object holds, its GPU copies included, as the demo engine
    // charges it on registration; a plain object's own few hundred bytes.
    virtual unsigned long long HeldBytes() const { return 512; }
};

}  // namespace Demo
