// Scene traversal that fills render queues with inherited, restored states.
#include "engine/SceneManager.h"

#include <cstdio>

#include "engine/Pass.h"
#include "engine/SceneNode.h"
#include "engine/Technique.h"
#include "render/RenderQueue.h"

SceneManager::SceneManager() : time(0.0f), queue(nullptr) {}

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
    for (unsigned int i = 0; i < node->children.Size(); ++i) {
        SceneNode* child = node->children[i];
        if (!child->hidden) PropagateWorld(child, child->dirty || wasDirty);
    }
    // The node's own update may have hidden it.
    if (!node->hidden) {
        node->culled = false;
        AssignNode(node);
        for (unsigned int i = 0; i < node->children.Size(); ++i)
            PropagateCull(node->children[i]);
        RestoreNode(node);
    } else {
        node->culled = true;
    }
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
        stacks[type].Add(state);
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

void SceneManager::PropagateWorld(SceneNode* node, bool force) {
    if (force) node->UpdateWorldTransform();
    for (unsigned int i = 0; i < node->children.Size(); ++i) {
        SceneNode* child = node->children[i];
        if (!child->hidden) PropagateWorld(child, force || child->dirty);
    }
}

void SceneManager::PropagateCull(SceneNode* node) {
    if (node->hidden) {
        node->culled = true;
        return;
    }
    node->culled = false;
    AssignNode(node);
    for (unsigned int i = 0; i < node->children.Size(); ++i) PropagateCull(node->children[i]);
    RestoreNode(node);
}

void SceneManager::PropagateLookAt(SceneNode* node) {
    node->UpdateLookAt();
    for (unsigned int i = 0; i < node->children.Size(); ++i) {
        SceneNode* child = node->children[i];
        if (!child->hidden) PropagateLookAt(child);
    }
}
