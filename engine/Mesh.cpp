// Meshes: ownership of the arrays and the cutting of draw batches.
#include "engine/Mesh.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "engine/ResourceManager.h"

namespace {

// Value i of an array of unsigned integers `size` bytes wide (1, 2 or 4).
// The caller has checked that i lies inside the data.
uint32_t ReadUnsigned(const unsigned char* data, uint64_t i, unsigned int size) {
    if (size == 1) return data[i];
    if (size == 2) {
        uint16_t v;
        memcpy(&v, data + i * 2, 2);
        return v;
    }
    uint32_t v;
    memcpy(&v, data + i * 4, 4);
    return v;
}

// Room for n more batches, doubling: a file may give a mesh a million strips,
// and the list would otherwise grow in many small steps.
void MakeRoom(Vector<VertexBatch*>* list, uint64_t n) {
    if (list->Capacity() - list->Size() >= n) return;
    uint64_t want = std::max<uint64_t>(uint64_t(list->Capacity()) * 2, list->Size() + n);
    if (want > 0xFFFFFFFFu || !list->Reserve(unsigned(want))) throw std::bad_alloc();
}

}  // namespace

Mesh::Mesh()
    : batches(10, 10), vertexArrays(nullptr), numVertexArrays(0), triangleArrays(nullptr),
      numTriangleArrays(0), stripLengths(nullptr), firstVertex(0), vertexCount(0),
      primitive(VertexBatch::PR_Triangles) {}

Mesh::~Mesh() {
    ClearBatches(&batches);
    delete[] vertexArrays;
    delete[] triangleArrays;
    delete stripLengths;
}

ResourceInitializer* Mesh::CreateInitializer(ResourceManager* manager) {
    return manager->CreateInitializer(this);
}

void Mesh::SetVertexArrays(AttributeArray* arrays, unsigned int count) {
    // Replaced arrays would otherwise be lost: the mesh is their only owner.
    if (arrays != vertexArrays) delete[] vertexArrays;
    vertexArrays = arrays;
    numVertexArrays = arrays ? count : 0;
}

unsigned int Mesh::GetNumVertexArrays() { return numVertexArrays; }

AttributeArray* Mesh::GetVertexArray(unsigned int i) {
    assert(i < numVertexArrays);
    return &vertexArrays[i];
}

void Mesh::SetTriangleArrays(AttributeArray* arrays, unsigned int count) {
    if (arrays != triangleArrays) delete[] triangleArrays;
    triangleArrays = arrays;
    numTriangleArrays = arrays ? count : 0;
}

unsigned int Mesh::GetNumTriangleArrays() { return numTriangleArrays; }

AttributeArray* Mesh::GetTriangleArray(unsigned int i) {
    assert(i < numTriangleArrays);
    return &triangleArrays[i];
}

Vector<VertexBatch*>* Mesh::GetBatches() { return &batches; }

void Mesh::ClearBatches(Vector<VertexBatch*>* list) {
    for (VertexBatch* batch : *list) delete batch;
    list->Clear();
}

void Mesh::UpdateBatches() {
    ClearBatches(&batches);
    if (numTriangleArrays == 0) {
        VertexBatch* batch = new VertexBatch;
        batch->primitive = primitive;
        batch->indexed = false;
        batch->firstVertex = 0;
        batch->count = vertexCount;
        batches.Add(batch);
        return;
    }
    CreateTriangleArrayBatches(&batches);
}

void Mesh::CreateTriangleArrayBatches(Vector<VertexBatch*>* out) {
    for (unsigned int j = 0; j < numTriangleArrays; ++j) {
        const AttributeArray& array = triangleArrays[j];
        if (array.type == AttributeArray::at_Triangle ||
            array.type == AttributeArray::at_TrianleStrip) {
            // One shared list of lengths cuts every indexed array. Lengths of
            // other widths than 8, 16 or 32 bits are not read.
            if (!stripLengths || !stripLengths->data) continue;
            unsigned int lengthType = stripLengths->numericType;
            if (lengthType > NT_Int) continue;
            unsigned int lengthSize = numericTypeSizeBytes[lengthType];
            uint64_t n = uint64_t(stripLengths->count) * stripLengths->components;
            // Batches are drawn straight from the index buffer, so none may
            // reach past the indices the array holds (none without data).
            uint64_t available = array.data ? uint64_t(array.count) * array.components : 0;
            uint64_t running = 0;
            bool clamped = false;
            MakeRoom(out, n);
            for (uint64_t k = 0; k < n; ++k) {
                uint64_t length = ReadUnsigned(stripLengths->data, k, lengthSize);
                uint64_t first = running;
                running += length;
                if (running > available) {
                    clamped = true;
                    if (first >= available) continue;
                    length = available - first;
                }
                VertexBatch* batch = new VertexBatch;
                batch->primitive = array.type == AttributeArray::at_Triangle
                                       ? VertexBatch::PR_Triangles
                                       : VertexBatch::PR_TriangleStrip;
                batch->indexed = true;
                batch->triangleArray = j;
                batch->firstIndex = unsigned(first);
                batch->count = unsigned(length);
                out->Add(batch);
            }
            if (clamped)
                printf("Mesh::CreateTriangleArrayBatches(): strip lengths run past the %u "
                       "indices of triangle array %u, clamped\n",
                       unsigned(available), j);
        } else if (array.type == AttributeArray::at_StripLengths) {
            if (!array.data || array.numericType >= kNumericTypeCount) continue;
            // 32-bit lengths; narrower elements are read at their own width
            // so that the read stays inside the data.
            unsigned int size = numericTypeSizeBytes[array.numericType];
            if (size > 4) size = 4;
            uint64_t n = uint64_t(array.count) * array.components;
            uint64_t running = firstVertex;
            MakeRoom(out, n);
            for (uint64_t k = 0; k < n; ++k) {
                uint32_t length = ReadUnsigned(array.data, k, size);
                if (running > 0xFFFFFFFFu) break;
                VertexBatch* batch = new VertexBatch;
                batch->primitive = VertexBatch::PR_TriangleStrip;
                batch->indexed = false;
                batch->firstVertex = unsigned(running);
                batch->count = length;
                out->Add(batch);
                running += length;
            }
        }
    }
}
