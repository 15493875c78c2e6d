// One draw call of a mesh: a primitive over a range of indices or vertices,
// and for skinned meshes the bones that move it.
#pragma once

#include "math/Types.h"

class SceneNode;
class Mat3;
class Mat4;

class VertexBatch {
public:
    enum Primitive {
        PR_Triangles = 0,
        PR_TriangleStrip = 1,
        PR_Points = 2,
    };

    VertexBatch();
    // Deletes the bone matrix arrays; the bone nodes are not owned.
    ~VertexBatch();
    VertexBatch(const VertexBatch&) = delete;
    VertexBatch& operator=(const VertexBatch&) = delete;

    unsigned int primitive;
    bool indexed;              // indices from triangle array `triangleArray`
    unsigned int firstVertex;  // non-indexed drawing
    unsigned int triangleArray;
    unsigned int firstIndex;   // within that triangle array
    unsigned int count;        // vertices or indices drawn
    Vector<SceneNode*> bones;  // not owned; empty for plain meshes
    Mat4* boneMatrices;        // one bind matrix per bone, owned (array delete)
    Mat3* boneNormalMatrices;  // one per bone, owned (array delete)
    unsigned int maxInfluences;  // most bones on one vertex, 0..4
};
