// The script's handle on an engine scene: depth-test and face-culling
// switches for its passes, lookup of nodes by id, normal smoothing, and the
// built-in full-screen quad scene.
#pragma once

#include "demo/Object.h"
#include "math/Types.h"
#include "math/Vec3.h"

class AttributeArray;
class GenericState;
class Mesh;
class Scene;
class SceneNode;

namespace Demo {

class Node;

class Scene : public Object {
public:
    // Takes ownership of scene. A null scene (a file that failed to load) is
    // reported and replaced by an empty one, so the handle stays usable.
    explicit Scene(::Scene* scene);
    // Destroys the engine scene and everything in it.
    ~Scene() override;

    static Scene* New(::Scene* scene);
    // A unit-square quad under an orthographic camera, depth test and face
    // culling off; for post-processing passes.
    static Scene* CreateFS();
    // What converting its file charged (GPU copies included), or a quad's.
    unsigned long long HeldBytes() const override;

    void SetDepthTestEnabled(bool on);
    void SetCullFaceEnabled(bool on);
    // A new handle on the first object with that id if it is a scene node,
    // else reported and null.
    Node* Find(unsigned int id);
    // The root of the scene's first engine pass; null (reported) without one.
    Node* GetRoot();

    // Element i of an attribute array as floats (at most three components;
    // 8/16/32-bit signed integers and floats). Anything unreadable, an index
    // past the array included, reads as (0, 0, 0).
    static Vec3 GetElement(AttributeArray* array, unsigned int i);
    // Writes the first components of value: floats as they are, integers
    // truncated toward zero and cut to their low bits. Nothing is written
    // where GetElement would not read.
    static void SetElement(AttributeArray* array, unsigned int i, Vec3 value);

    // Vertices that share a position exactly and whose normals lie within
    // angle degrees of each other get their mean normal (not renormalised).
    void Smooth(Mesh* mesh, float angle);
    // Every plain mesh of the scene's object list, in list order.
    void SmoothAll(float angle);
    // The node's meshes, then its children depth-first.
    void Smooth(SceneNode* node, float angle);
    void Smooth(Node* node, float angle);
    // Silently nothing unless id names a scene node.
    void Smooth(unsigned int id, float angle);

    // Groups the vertices by exactly equal position (a NaN matches nothing).
    // The groups and the order of their members are those of a sequential
    // scan that takes the first unvisited vertex and then sweeps the rest,
    // moving the last unvisited vertex into each slot it empties; this
    // reproduces that scan in O(n log n). members receives the vertices group
    // after group, groupEnds one past the end of each group in members.
    static void GroupEqualPositions(const Vec3* positions, unsigned int count,
                                    Vector<unsigned int>* members,
                                    Vector<unsigned int>* groupEnds);
    // Clusters the normals of one group (vertex indices in group order) and
    // writes each cluster's mean into the normal array. normals holds every
    // vertex's normal as read; threshold in radians.
    static void ClusterGroup(const unsigned int* group, unsigned int size, const Vec3* normals,
                             float threshold, AttributeArray* normalArray);

    ::Scene* scene;        // owned
    bool adjustAspect;     // demo passes set the camera aspect from the output
    GenericState* depthTest;  // in scene->objects, which own it
    GenericState* cullFace;   // in scene->objects, which own it
};

}  // namespace Demo
