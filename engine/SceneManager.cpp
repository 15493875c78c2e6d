// Scene traversal that fills render queues with inherited, restored states.
#include "engine/SceneManager.h"

#include <cstdio>

#include "engine/Pass.h"
#include "engine/SceneNode.h"
#include "engine/Technique.h"
#include "render/RenderQueue.h"

SceneManager::SceneManager() : time(0.0f), queue(nullptr), walk(16, 16), reported(0) {}

SceneManager::~SceneManager() {}

void SceneManager::Update(Technique* technique, float t) {
    if (!technique) return;
    for (unsigned int i = 0; i < technique->passes.Size(); ++i)
        if (Pass* pass = technique->passes[i]) Update(pass, t);
}

void SceneManager::Update(Pass* pass, float t) {
    if (!pass) return;
    pass->Update(t);
    for (unsigned int i = 0; i < pass->states.Size(); ++i)
        if (RenderState* state = pass->states[i]) state->Update(t);
    queue = &pass->queue;
    queue->Clear();
    AssignStates(&pass->states);
    SceneNode* scene = pass->scene;
    if (scene && !scene->hidden) {
        time = t;
        scene->Update(t);
        PropagateWorld(scene, scene->dirty);
        PropagateCull(scene);
    }
    RestoreStates(&pass->states);
}

void SceneManager::Update(SceneNode* node, float t, SceneNode*) {
    if (!node || node->hidden || !queue) return;
    time = t;
    node->Update(t);
    bool wasDirty = node->dirty;
    if (wasDirty) node->UpdateWorldTransform();
    WalkWorld(node, false, wasDirty);
    // The node's own update may have hidden it; if not, this is the cull
    // walk of a visible node.
    if (!node->hidden)
        PropagateCull(node);
    else
        node->culled = true;
}

void SceneManager::AssignStates(Vector<RenderState*>* states) {
    for (unsigned int i = 0; i < states->Size(); ++i) {
        RenderState* state = (*states)[i];
        if (!state) continue;
        RenderState::Type type = state->GetRenderStateType();
        if (!RenderState::IsValidType(type)) {
            printf("SceneManager::AssignStates(): render state type %u out of range, ignored\n",
                   unsigned(type));
            continue;
        }
        Vector<RenderState*>& stack = stacks[type];
        // Doubling keeps a deep chain of nodes with states linear.
        if (stack.Size() == stack.Capacity()) stack.Reserve(stack.Capacity() * 2);
        stack.Add(state);
        queue->Push(state);
    }
}

void SceneManager::RestoreStates(Vector<RenderState*>* states) {
    for (unsigned int i = states->Size(); i-- > 0;) {
        RenderState* state = (*states)[i];
        if (!state) continue;
        RenderState::Type type = state->GetRenderStateType();
        // Already reported when it was assigned.
        if (!RenderState::IsValidType(type)) continue;
        Vector<RenderState*>& stack = stacks[type];
        // The popped state is not compared with this one: balance comes from
        // strict nesting. With one state left the inner value stays in force.
        if (stack.Size() >= 2) {
            stack.Pop();
            queue->Push(stack.Last());
        } else if (stack.Size() == 1) {
            stack.Pop();
        }
    }
}

void SceneManager::AssignNode(SceneNode* node) {
    AssignStates(&node->states);
    if (node->meshes.Size() > 0) queue->Push(&node->geometryState);
}

void SceneManager::RestoreNode(SceneNode* node) { RestoreStates(&node->states); }

void SceneManager::ReportCut(WalkKind kind, const char* function) {
    if (reported & kind) return;
    reported |= kind;
    printf("%s(): more than %u paths through the scene graph, the rest is skipped\n", function,
           SceneNode::VisitBudget());
}

void SceneManager::WalkWorld(SceneNode* root, bool updateRoot, bool forceChildren) {
    if (updateRoot) root->UpdateWorldTransform();
    // A child's dirty flag is read when the walk reaches it: an earlier path
    // to the same node may have cleaned it.
    bool complete = SceneNode::Walk(
        &walk, root, forceChildren,
        [](SceneNode* child, bool parentForced, bool* forced) {
            if (child->hidden) return false;
            *forced = parentForced || child->dirty;
            if (*forced) child->UpdateWorldTransform();
            return true;
        },
        [](SceneNode*) {});
    if (!complete) ReportCut(WK_World, "SceneManager::PropagateWorld");
}

void SceneManager::PropagateWorld(SceneNode* node, bool force) {
    if (node) WalkWorld(node, force, force);
}

void SceneManager::PropagateCull(SceneNode* node) {
    if (!node) return;
    if (node->hidden) {
        node->culled = true;
        return;
    }
    node->culled = false;
    AssignNode(node);
    // Each node's restore follows its subtree, so the states nest as they
    // would in a recursive walk, also when the walk is cut off.
    bool complete = SceneNode::Walk(
        &walk, node, false,
        [this](SceneNode* child, bool, bool*) {
            // A hidden node's subtree is skipped and its children's flags are left alone.
            if (child->hidden) {
                child->culled = true;
                return false;
            }
            child->culled = false;
            AssignNode(child);
            return true;
        },
        [this](SceneNode* left) { RestoreNode(left); });
    if (!complete) ReportCut(WK_Cull, "SceneManager::PropagateCull");
}

void SceneManager::PropagateLookAt(SceneNode* node) {
    if (!node) return;
    node->UpdateLookAt();
    bool complete = SceneNode::Walk(
        &walk, node, false,
        [](SceneNode* child, bool, bool*) {
            if (child->hidden) return false;
            child->UpdateLookAt();
            return true;
        },
        [](SceneNode*) {});
    if (!complete) ReportCut(WK_LookAt, "SceneManager::PropagateLookAt");
}
