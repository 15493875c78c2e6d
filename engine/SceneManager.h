// Per-frame traversal: animates each pass's scene graph, propagates world
// transforms and pushes the render states depth-first into the pass's queue,
// restoring inherited states as it leaves each subtree.
#pragma once

#include "engine/SceneNode.h"
#include "math/Types.h"
#include "render/RenderState.h"

class Pass;
class RenderQueue;
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

    // Depth-first walks in child order, on an explicit stack. Each is cut off
    // after SceneNode::VisitBudget() paths, with a message the first time a
    // walk of its kind is cut; the queue's states stay balanced.
    void PropagateWorld(SceneNode* node, bool force);
    void PropagateCull(SceneNode* node);
    void PropagateLookAt(SceneNode* node);

    float time;          // time of the last pass update that had a scene
    RenderQueue* queue;  // the queue being filled; not owned
    // States in force per type along the current path, innermost last; all
    // empty between pass updates.
    Vector<RenderState*> stacks[RenderState::RST_Count];

private:
    enum WalkKind { WK_World = 1, WK_Cull = 2, WK_LookAt = 4 };
    // World walk below root: root is recomputed when updateRoot is set, its
    // children when forceChildren is set or they are dirty, and so on down.
    void WalkWorld(SceneNode* root, bool updateRoot, bool forceChildren);
    void ReportCut(WalkKind kind, const char* function);

    Vector<WalkFrame> walk;  // the walks' frames; keeps its room between frames
    unsigned int reported;   // WalkKind bits of the walks already reported as cut
};
