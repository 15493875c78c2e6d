// Draw batches and their bone data.
#include "engine/VertexBatch.h"

#include "math/Mat3.h"
#include "math/Mat4.h"

VertexBatch::VertexBatch()
    : primitive(PR_Triangles), indexed(false), firstVertex(0), triangleArray(0), firstIndex(0),
      count(0), bones(10, 10), boneMatrices(nullptr), boneNormalMatrices(nullptr),
      maxInfluences(0) {}

VertexBatch::~VertexBatch() {
    delete[] boneMatrices;
    delete[] boneNormalMatrices;
}
