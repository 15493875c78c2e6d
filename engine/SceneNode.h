// A node of the scene graph: a spatial with meshes, an optional camera, the
// render states that apply to it and its subtree, and the state that draws it.
#pragma once

#include "engine/SceneObject.h"
#include "engine/SceneSpatial.h"
#include "math/Quat.h"
#include "math/Types.h"
#include "math/Vec3.h"
#include "render/GeometryState.h"

class Camera;
class Mesh;
class RenderState;
class SceneNode;

// One entered node of a depth-first walk: the walks keep these on an explicit
// stack, so a deep graph costs heap rather than call stack.
struct WalkFrame {
    SceneNode* node;
    unsigned int next;  // the next child to reach
    bool flag;          // the walk's own per-node value (world: forced)
};

class SceneNode : public SceneSpatial, public SceneObject {
public:
    SceneNode(const Vec3& location = Vec3(0.0f, 0.0f, 0.0f),
              const Quat& rotation = Quat(0.0f, 0.0f, 0.0f, 1.0f), SceneNode* parent = nullptr,
              Mesh* mesh = nullptr, Camera* camera = nullptr);
    // Frees the lists only: children, meshes, states and camera belong to
    // others, and children keep their (then dangling) parent pointer.
    ~SceneNode() override;
    SceneNode(const SceneNode&) = delete;
    SceneNode& operator=(const SceneNode&) = delete;

    SceneObjectType GetObjectType() const override { return SOT_SceneNode; }

    // Appends child and makes this its parent; the child stays in any former
    // parent's list, so a node may be reached along several paths. Refused
    // with a message when child is null, already listed here, or when this
    // node lies in child's subtree, which would close a cycle.
    void Attach(SceneNode* child);
    // p->Attach(this); a null p only clears the parent pointer.
    void SetParent(SceneNode* p);
    // Removes child if listed; in every case clears its parent pointer
    // without marking it dirty.
    void Detach(SceneNode* child);
    void Attach(Mesh* mesh);
    void Detach(Mesh* mesh);
    void Attach(RenderState* state);
    void Detach(RenderState* state);
    void Attach(Camera* c);

    // Animates this node, its subtree and their states, at most once per
    // distinct time. Hidden nodes are animated too.
    void Update(float time) override;

    // Walks below root depth-first in child order. enter(child, parentFlag,
    // &childFlag) runs when a child is reached and says whether to go into it
    // (pre-order); leave(node) runs once its subtree is done (post-order),
    // root included, so enter and leave stay paired. Every child reached
    // counts as a path from root: past VisitBudget() of them no further child
    // is reached, the nodes entered are still left, and false is returned.
    template <class Enter, class Leave>
    static bool Walk(Vector<WalkFrame>* stack, SceneNode* root, bool rootFlag, Enter enter,
                     Leave leave);
    // Root-to-node paths one walk may take: four per live node, plus a floor.
    // A tree never comes near it; a graph whose nodes are reached along many
    // paths (a chain of nodes each listed under two parents doubles them at
    // every level) is cut off there rather than hanging the player.
    static unsigned int VisitBudget();
    // Pushes, doubling the stack's room when full (its own step may be 1).
    // Inline: every walk pushes once per node reached.
    static void PushFrame(Vector<WalkFrame>* stack, const WalkFrame& frame) {
        if (stack->Size() == stack->Capacity()) stack->Reserve(stack->Capacity() * 2 + 16);
        stack->Add(frame);
    }

    bool culled;   // skipped by the last traversal
    bool hidden;   // skips the node and its subtree in traversal and drawing
    Camera* camera;
    Vector<Mesh*> meshes;
    Vector<SceneNode*> children;
    Vector<RenderState*> states;
    GeometryState geometryState;
    float lastUpdateTime;

private:
    bool WouldCloseCycle(SceneNode* child);

    // Entries of this node in parents' children lists. With one entry and a
    // parent pointer set, that pointer names the one parent (only Attach sets
    // it, and any Detach clears it), which lets the cycle check climb.
    unsigned int parentCount;
    unsigned long long searchMark;  // last cycle search that reached the node

    static unsigned int liveCount;
};

template <class Enter, class Leave>
bool SceneNode::Walk(Vector<WalkFrame>* stack, SceneNode* root, bool rootFlag, Enter enter,
                     Leave leave) {
    const unsigned int budget = VisitBudget();
    unsigned int visits = 1;
    bool complete = true;
    // Frames below base belong to an enclosing walk, if any.
    const unsigned int base = stack->Size();
    PushFrame(stack, {root, 0, rootFlag});
    while (stack->Size() > base) {
        // Everything needed from top is read before a push may move the block.
        WalkFrame& top = stack->Last();
        SceneNode* node = top.node;
        if (complete && top.next < node->children.Size()) {
            SceneNode* child = node->children[top.next++];
            if (++visits > budget) {
                complete = false;
                continue;
            }
            bool parentFlag = top.flag;
            bool childFlag = false;
            if (enter(child, parentFlag, &childFlag)) PushFrame(stack, {child, 0, childFlag});
        } else {
            stack->Pop();
            leave(node);
        }
    }
    return complete;
}
