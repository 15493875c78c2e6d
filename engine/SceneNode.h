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

    // Appends child (twice if attached twice) and makes this its parent; the
    // child stays in any former parent's list. Refused when child is null or
    // this node lies in child's subtree, which would close a cycle.
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

    bool culled;   // skipped by the last traversal
    bool hidden;   // skips the node and its subtree in traversal and drawing
    Camera* camera;
    Vector<Mesh*> meshes;
    Vector<SceneNode*> children;
    Vector<RenderState*> states;
    GeometryState geometryState;
    float lastUpdateTime;

private:
    bool IsInSubtreeOf(const SceneNode* root) const;
};
