// Interface of every mesh: vertex and triangle arrays and the draw batches
// made from them.
#pragma once

#include "engine/Resource.h"
#include "math/Types.h"

class AttributeArray;
class VertexBatch;

class MeshBase : public Resource {
public:
    virtual void SetVertexArrays(AttributeArray* arrays, unsigned int count) = 0;
    virtual unsigned int GetNumVertexArrays() = 0;
    virtual AttributeArray* GetVertexArray(unsigned int i) = 0;
    virtual void SetTriangleArrays(AttributeArray* arrays, unsigned int count) = 0;
    virtual unsigned int GetNumTriangleArrays() = 0;
    virtual AttributeArray* GetTriangleArray(unsigned int i) = 0;
    virtual void UpdateBatches() = 0;
    virtual Vector<VertexBatch*>* GetBatches() = 0;
};
