// Node handles: placement, animation bindings, attachment and effects.
#include "demo/Node.h"

#include <cstdio>

#include "demo/Animation.h"
#include "demo/Effect.h"
#include "demo/Engine.h"
#include "engine/SceneNode.h"
#include "math/Quat.h"

namespace Demo {

namespace {

// A handle made over no node (only C++ callers can do that) must not crash.
bool HasNode(const SceneNode* node, const char* function) {
    if (node) return true;
    printf("Demo::Node::%s(): no scene node\n", function);
    return false;
}

}  // namespace

Node::Node(SceneNode* node_) : node(node_) {}

Node::~Node() {}

Node* Node::New(SceneNode* node) {
    Node* handle = new Node(node);
    Engine::GetEngine()->Register(handle);
    return handle;
}

void Node::SetLocation(float x, float y, float z) {
    if (!HasNode(node, "SetLocation")) return;
    node->transform.translation = Vec3(x, y, z);
    node->dirty = true;
}

void Node::SetRotation(float angle, float x, float y, float z) {
    if (!HasNode(node, "SetRotation")) return;
    // Degrees from the script; pi / 180 in double precision.
    Quat q;
    q.LoadFromAngleAxis(float(angle * 0.017453292519943295), Vec3(x, y, z));
    node->transform.SetRotation(q);
    node->dirty = true;
}

void Node::SetScale(float x, float y, float z) {
    if (!HasNode(node, "SetScale")) return;
    node->transform.scale = Vec3(x, y, z);
    node->dirty = true;
}

void Node::BindRotation(Animation* animation) {
    if (!animation) {
        printf("Demo::Node::BindRotation(): no animation\n");
        return;
    }
    if (!HasNode(node, "BindRotation")) return;
    node->BindProperty(::Actor::P_Rotation, &animation->animation);
}

void Node::BindScale(Animation* animation) {
    if (!animation) {
        printf("Demo::Node::BindScale(): no animation\n");
        return;
    }
    if (!HasNode(node, "BindScale")) return;
    node->BindProperty(::Actor::P_Scale, &animation->animation);
}

void Node::BindLocation(Animation* animation) {
    if (!animation) {
        printf("Demo::Node::BindLocation(): no animation\n");
        return;
    }
    if (!HasNode(node, "BindLocation")) return;
    node->BindProperty(::Actor::P_Location, &animation->animation);
}

void Node::Attach(Node* child) {
    if (!child) {
        printf("Demo::Node::Attach(): no node\n");
        return;
    }
    if (!HasNode(node, "Attach") || !HasNode(child->node, "Attach")) return;
    Engine::ChargeCurrent(2 * sizeof(SceneNode*));  // a child here, a parent there
    node->Attach(child->node);
}

void Node::SetEffect(Effect* effect) {
    if (!effect) {
        printf("Demo::Node::SetEffect(): no effect\n");
        return;
    }
    if (!HasNode(node, "SetEffect")) return;
    Engine::ChargeCurrent(effect->states.Size() * sizeof(RenderState*));
    for (RenderState* state : effect->states) node->Attach(state);
}

}  // namespace Demo
