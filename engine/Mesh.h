// Geometry as the renderer wants it: attribute arrays, index arrays and the
// list of draw batches cut from them.
#pragma once

#include "engine/AttributeArray.h"
#include "engine/MeshBase.h"
#include "engine/VertexBatch.h"
#include "math/Types.h"

class Mesh : public MeshBase {
public:
    Mesh();
    // Deletes the batches, the arrays and the strip lengths.
    ~Mesh() override;

    unsigned int GetType() const override { return RT_Mesh; }
    ResourceInitializer* CreateInitializer(ResourceManager* manager) override;

    // The mesh takes ownership of `arrays`, which must come from new[]. Arrays
    // set earlier are released unless they are the same block.
    void SetVertexArrays(AttributeArray* arrays, unsigned int count) override;
    unsigned int GetNumVertexArrays() override;
    // Unchecked for callers inside the engine; i must be below the count.
    AttributeArray* GetVertexArray(unsigned int i) override;
    void SetTriangleArrays(AttributeArray* arrays, unsigned int count) override;
    unsigned int GetNumTriangleArrays() override;
    AttributeArray* GetTriangleArray(unsigned int i) override;
    // Rebuilds the batches from the arrays; call after setting them and
    // before drawing (drawing does not build batches).
    void UpdateBatches() override;
    Vector<VertexBatch*>* GetBatches() override;

    // Deletes every batch and empties the list.
    static void ClearBatches(Vector<VertexBatch*>* list);
    // Appends the batches of the triangle arrays, in array order, then
    // length order. Lengths that run past an index array are clamped to it.
    void CreateTriangleArrayBatches(Vector<VertexBatch*>* out);

    Vector<VertexBatch*> batches;  // owned
    AttributeArray* vertexArrays;  // owned (array delete)
    unsigned int numVertexArrays;
    AttributeArray* triangleArrays;  // owned (array delete)
    unsigned int numTriangleArrays;
    // Index-strip lengths shared by every indexed triangle array; owned, may
    // be null.
    AttributeArray* stripLengths;
    unsigned int firstVertex;  // first vertex of non-indexed strips
    unsigned int vertexCount;  // drawn when there are no triangle arrays
    unsigned int primitive;    // primitive of that single batch
};
