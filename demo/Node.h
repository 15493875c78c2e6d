// The script's handle on one scene node: placement, animation bindings,
// attachment and effects. Handles are independent of each other.
#pragma once

#include "demo/Object.h"

class SceneNode;

namespace Demo {

class Animation;
class Effect;

class Node : public Object {
public:
    explicit Node(SceneNode* node);
    // Leaves the scene node alone.
    ~Node() override;

    static Node* New(SceneNode* node);

    void SetLocation(float x, float y, float z);
    // angle in degrees, about the axis (x, y, z) of any length.
    void SetRotation(float angle, float x, float y, float z);
    void SetScale(float x, float y, float z);
    // Animations of 4, 3 and 3 components. A null animation is reported and
    // changes nothing.
    void BindRotation(Animation* animation);
    void BindScale(Animation* animation);
    void BindLocation(Animation* animation);
    // Null child: reported, nothing happens.
    void Attach(Node* child);
    // Attaches the effect's current states to the node. Null: reported.
    void SetEffect(Effect* effect);

    SceneNode* node;  // not owned
};

}  // namespace Demo
