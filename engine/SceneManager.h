// Per-frame traversal: animates each pass's scene graph, propagates world
// transforms and pushes the render states depth-first into the pass's queue,
// restoring inherited states as it leaves each subtree.
#pragma once

#include "math/Types.h"
#include "render/RenderState.h"

class Pass;
class RenderQueue;
class SceneNode;
class Technique;

class SceneManager {
public:
    SceneManager();
    ~SceneManager();
    SceneManager(const SceneManager&) = delete;
    SceneManager& operator=(const SceneManager&) = delete;

    // Every pass in order, enabled or not.
    void Update(Technique* technique, float time);
    // Rebuilds the pass's render queue.
    void Update(Pass* pass, float time);
    // Updates and queues one subtree into the current queue; meant to run
    // inside a pass update. cameraNode is not consulted.
    void Update(SceneNode* node, float time, SceneNode* cameraNode);

    // States whose type is outside 0..81 are reported and skipped, so that no
    // stack or queue index is ever out of range.
    void AssignStates(Vector<RenderState*>* states);
    void RestoreStates(Vector<RenderState*>* states);
    void AssignNode(SceneNode* node);
    void RestoreNode(SceneNode* node);

    void PropagateWorld(SceneNode* node, bool force);
    void PropagateCull(SceneNode* node);
    void PropagateLookAt(SceneNode* node);

    float time;          // time of the last pass update that had a scene
    RenderQueue* queue;  // the queue being filled; not owned
    // States in force per type along the current path, innermost last; all
    // empty between pass updates.
    Vector<RenderState*> stacks[RenderState::RST_Count];
};
