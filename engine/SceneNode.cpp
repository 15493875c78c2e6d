// Scene graph nodes: attachment rules and the recursive animation update.
#include "engine/SceneNode.h"

#include <cstdio>
#include <unordered_set>
#include <vector>

#include "render/RenderState.h"

SceneNode::SceneNode(const Vec3& location, const Quat& rotation, SceneNode* parent, Mesh* mesh,
                     Camera* camera)
    : culled(false), hidden(false), camera(nullptr), meshes(1, 1), children(1, 1), states(1, 1),
      geometryState(this), lastUpdateTime(0.0f) {
    transform.translation = location;
    transform.rotation = rotation;
    transform.rotationMatrix.LoadFromQuaternion(rotation);
    dirty = true;
    if (parent) parent->Attach(this);
    if (mesh) meshes.Add(mesh);
    if (camera) this->camera = camera;
}

SceneNode::~SceneNode() {}

bool SceneNode::IsInSubtreeOf(const SceneNode* root) const {
    // Iterative and each node once: a subtree shared by several parents would
    // otherwise be walked once per path (exponential in the depth of a chain
    // of shared nodes), and a deep chain would exhaust the stack.
    std::vector<const SceneNode*> pending(1, root);
    std::unordered_set<const SceneNode*> seen;
    while (!pending.empty()) {
        const SceneNode* node = pending.back();
        pending.pop_back();
        if (node == this) return true;
        if (!seen.insert(node).second) continue;
        for (const SceneNode* child : node->children) pending.push_back(child);
    }
    return false;
}

void SceneNode::Attach(SceneNode* child) {
    if (!child) {
        printf("SceneNode::Attach(): null child, ignored\n");
        return;
    }
    // The traversals recurse through children; a cycle would never end.
    if (IsInSubtreeOf(child)) {
        printf("SceneNode::Attach(): node would become its own descendant, ignored\n");
        return;
    }
    children.Add(child);
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
    children.Remove(child);
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
    for (unsigned int i = 0; i < children.Size(); ++i) children[i]->Update(time);
    for (unsigned int i = 0; i < states.Size(); ++i) states[i]->Update(time);
    lastUpdateTime = time;
}
