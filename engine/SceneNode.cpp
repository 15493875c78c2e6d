// Scene graph nodes: attachment rules and the animation update of a subtree.
#include "engine/SceneNode.h"

#include <cstdio>

#include "render/RenderState.h"

unsigned int SceneNode::liveCount = 0;

namespace {

// Cycle searches tell their nodes apart from earlier searches' by this; 64
// bits never wrap.
unsigned long long searchCount = 0;

// Shared by every Update; frames of a nested Update would sit above those of
// the one enclosing it. It keeps its room, so steady frames allocate nothing.
Vector<WalkFrame>& UpdateStack() {
    static Vector<WalkFrame> stack(16, 16);
    return stack;
}

}  // namespace

SceneNode::SceneNode(const Vec3& location, const Quat& rotation, SceneNode* parent, Mesh* mesh,
                     Camera* camera)
    : culled(false), hidden(false), camera(nullptr), meshes(1, 1), children(1, 1), states(1, 1),
      geometryState(this), lastUpdateTime(0.0f), parentCount(0), searchMark(0) {
    ++liveCount;
    transform.translation = location;
    transform.rotation = rotation;
    transform.rotationMatrix.LoadFromQuaternion(rotation);
    dirty = true;
    if (parent) parent->Attach(this);
    if (mesh) meshes.Add(mesh);
    if (camera) this->camera = camera;
}

SceneNode::~SceneNode() { --liveCount; }

unsigned int SceneNode::VisitBudget() {
    unsigned long long budget = 4ull * liveCount + 1024;
    return budget > 0xFFFFFFFFull ? 0xFFFFFFFFu : unsigned(budget);
}

bool SceneNode::WouldCloseCycle(SceneNode* child) {
    if (child == this) return true;
    // A cycle needs a path from child down to this: none without children
    // below child or parents above this. This keeps building a chain from
    // either end free of searches.
    if (child->children.Size() == 0 || parentCount == 0) return false;
    // Otherwise search both sides in turn and stop with the first one done,
    // so the cost is that of the smaller: upwards from this while each node
    // has a single known parent (then the chain is all there is above),
    // downwards from child through every node once.
    unsigned long long mark = ++searchCount;
    static Vector<SceneNode*> pending(16, 16);
    pending.Clear();
    pending.Add(child);
    child->searchMark = mark;
    const SceneNode* up = this;
    bool climbing = true;
    for (;;) {
        if (climbing) {
            if (up->parentCount == 0) return false;
            if (up->parentCount == 1 && up->parent) {
                // Only SceneNode::Attach sets the parent of a scene node.
                up = static_cast<const SceneNode*>(up->parent);
                if (up == child) return true;
            } else {
                climbing = false;
            }
        }
        if (pending.Empty()) return false;
        SceneNode* node = pending.Last();
        pending.Pop();
        for (SceneNode* next : node->children) {
            if (next == this) return true;
            if (next->searchMark == mark) continue;
            next->searchMark = mark;
            if (pending.Size() == pending.Capacity()) pending.Reserve(pending.Capacity() * 2);
            pending.Add(next);
        }
    }
}

void SceneNode::Attach(SceneNode* child) {
    if (!child) {
        printf("SceneNode::Attach(): null child, ignored\n");
        return;
    }
    // A second entry would double every path through the child. A node
    // without parents is nobody's child, which spares the search.
    if (child->parentCount > 0 && children.Contains(child)) {
        printf("SceneNode::Attach(): node is already a child of this node, ignored\n");
        return;
    }
    // The traversals would never leave a cycle.
    if (WouldCloseCycle(child)) {
        printf("SceneNode::Attach(): node would become its own descendant, ignored\n");
        return;
    }
    // Doubling the room keeps a node with very many children linear to build.
    if (children.Size() == children.Capacity()) children.Reserve(children.Capacity() * 2);
    children.Add(child);
    ++child->parentCount;
    child->SceneSpatial::SetParent(this);
}

void SceneNode::SetParent(SceneNode* p) {
    if (p)
        p->Attach(this);
    else
        SceneSpatial::SetParent(nullptr);
}

void SceneNode::Detach(SceneNode* child) {
    if (!child) return;
    if (children.Remove(child) && child->parentCount > 0) --child->parentCount;
    child->parent = nullptr;
}

void SceneNode::Attach(Mesh* mesh) {
    if (mesh) meshes.Add(mesh);
}

void SceneNode::Detach(Mesh* mesh) { meshes.Remove(mesh); }

void SceneNode::Attach(RenderState* state) {
    if (state) states.Add(state);
}

void SceneNode::Detach(RenderState* state) { states.Remove(state); }

void SceneNode::Attach(Camera* c) { camera = c; }

void SceneNode::Update(float time) {
    if (time == lastUpdateTime) return;
    SceneSpatial::Update(time);
    // A node reached again at the same time is skipped with its subtree, so
    // shared nodes cost one visit per entry, not per path; the budget still
    // bounds a time that never equals itself (NaN).
    bool complete = Walk(
        &UpdateStack(), this, false,
        [time](SceneNode* child, bool, bool*) {
            if (time == child->lastUpdateTime) return false;
            child->SceneSpatial::Update(time);
            return true;
        },
        [time](SceneNode* node) {
            for (unsigned int i = 0; i < node->states.Size(); ++i) node->states[i]->Update(time);
            node->lastUpdateTime = time;
        });
    static bool reported = false;
    if (!complete && !reported) {
        reported = true;
        printf("SceneNode::Update(): more than %u paths through the scene graph, the rest is "
               "not animated\n",
               VisitBudget());
    }
}
