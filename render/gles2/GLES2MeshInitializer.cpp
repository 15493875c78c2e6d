// Vertex and index buffers of a mesh, with a record of what each holds.
#include "render/gles2/GLES2MeshInitializer.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "engine/AttributeArray.h"
#include "engine/Mesh.h"

const GLenum GLES2MeshInitializer::sc_dyn2usage[2] = {GL_STATIC_DRAW, GL_DYNAMIC_DRAW};

// Bytes of one index, by NumericType; 0 where the type cannot hold indices.
static unsigned int IndexSize(unsigned int numericType) {
    switch (numericType) {
    case NT_Byte: return 1;
    case NT_Short: return 2;
    case NT_Int: return 4;
    default: return 0;
    }
}

static size_t ArrayBytes(const AttributeArray* array) {
    return size_t(array->count) * array->stride;
}

GLES2MeshInitializer::GLES2MeshInitializer(Mesh* mesh)
    : vertexBuffers(nullptr), indexBuffers(nullptr), numVertexBuffers(0), numIndexBuffers(0),
      vertexBufferSizes(nullptr), indexInfos(nullptr), batchesReported(false) {
    resource = mesh;
}

GLES2MeshInitializer::~GLES2MeshInitializer() {
    Deinit();
    // A failed Init may have left these behind.
    delete[] vertexBuffers;
    delete[] indexBuffers;
    delete[] vertexBufferSizes;
    delete[] indexInfos;
}

bool GLES2MeshInitializer::Init() {
    if (initialized) return true;
    Mesh* mesh = static_cast<Mesh*>(resource);
    unsigned int n = mesh->GetNumVertexArrays();
    unsigned int t = mesh->GetNumTriangleArrays();
    if (n == 0) return false;

    vertexBuffers = new GLuint[n];
    vertexBufferSizes = new size_t[n];
    glGenBuffers(GLsizei(n), vertexBuffers);
    for (unsigned int i = 0; i < n; ++i) {
        const AttributeArray* array = mesh->GetVertexArray(i);
        size_t size = ArrayBytes(array);
        vertexBufferSizes[i] = 0;
        // An array without data keeps a name without storage.
        if (size == 0 || !array->data) continue;
        glBindBuffer(GL_ARRAY_BUFFER, vertexBuffers[i]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(size), array->data,
                     sc_dyn2usage[array->dynamic ? 1 : 0]);
        vertexBufferSizes[i] = size;
    }
    numVertexBuffers = n;

    if (t >= 1) {
        indexBuffers = new GLuint[t];
        indexInfos = new IndexInfo[t];
        for (unsigned int j = 0; j < t; ++j) {
            const AttributeArray* array = mesh->GetTriangleArray(j);
            indexBuffers[j] = 0;
            indexInfos[j] = IndexInfo{unsigned(array->numericType), 0, 0};
            size_t size = ArrayBytes(array);
            bool indices = array->type == AttributeArray::at_Triangle ||
                           array->type == AttributeArray::at_TrianleStrip;
            if (size == 0 || !array->data || !indices) continue;
            glGenBuffers(1, &indexBuffers[j]);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffers[j]);
            glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(size), array->data,
                         sc_dyn2usage[array->dynamic ? 1 : 0]);
            RecordIndices(j);
        }
    }
    numIndexBuffers = t;
    batchesReported = false;
    initialized = true;
    return true;
}

void GLES2MeshInitializer::RecordIndices(unsigned int j) {
    const AttributeArray* array = static_cast<Mesh*>(resource)->GetTriangleArray(j);
    IndexInfo& info = indexInfos[j];
    info.numericType = array->numericType;
    info.count = 0;
    info.maxIndex = 0;
    unsigned int indexSize = IndexSize(array->numericType);
    if (indexSize == 0 || !array->data) return;
    size_t count = ArrayBytes(array) / indexSize;
    if (count > UINT_MAX) count = UINT_MAX;
    // Read bytewise: the array only promises its own element alignment.
    const unsigned char* p = array->data;
    unsigned int maxIndex = 0;
    for (size_t k = 0; k < count; ++k, p += indexSize) {
        unsigned int index;
        if (indexSize == 1) {
            index = *p;
        } else if (indexSize == 2) {
            uint16_t v;
            memcpy(&v, p, 2);
            index = v;
        } else {
            uint32_t v;
            memcpy(&v, p, 4);
            index = v;
        }
        if (index > maxIndex) maxIndex = index;
    }
    info.count = unsigned(count);
    info.maxIndex = maxIndex;
}

void GLES2MeshInitializer::UpdateDynamic() {
    if (!initialized) return;
    Mesh* mesh = static_cast<Mesh*>(resource);
    unsigned int n = mesh->GetNumVertexArrays();
    if (n > numVertexBuffers) n = numVertexBuffers;
    for (unsigned int i = 0; i < n; ++i) {
        const AttributeArray* array = mesh->GetVertexArray(i);
        size_t size = ArrayBytes(array);
        if (!array->dynamic || size == 0 || !array->data) continue;
        glBindBuffer(GL_ARRAY_BUFFER, vertexBuffers[i]);
        // Sub-data past the storage would be refused; grown data gets new storage.
        if (size > vertexBufferSizes[i]) {
            glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(size), array->data, sc_dyn2usage[1]);
            vertexBufferSizes[i] = size;
        } else {
            glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(size), array->data);
        }
    }
    unsigned int t = mesh->GetNumTriangleArrays();
    if (t > numIndexBuffers) t = numIndexBuffers;
    for (unsigned int j = 0; j < t; ++j) {
        const AttributeArray* array = mesh->GetTriangleArray(j);
        size_t size = ArrayBytes(array);
        if (!array->dynamic || size == 0 || !array->data) continue;
        if (!indexBuffers[j] || !glIsBuffer(indexBuffers[j])) continue;
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffers[j]);
        unsigned int indexSize = IndexSize(indexInfos[j].numericType);
        size_t held = size_t(indexInfos[j].count) * indexSize;
        if (size > held) {
            glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(size), array->data, sc_dyn2usage[1]);
        } else {
            glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, GLsizeiptr(size), array->data);
        }
        RecordIndices(j);
    }
}

void GLES2MeshInitializer::Deinit() {
    if (!initialized) return;
    for (unsigned int j = 0; j < numIndexBuffers; ++j)
        if (indexBuffers[j] && glIsBuffer(indexBuffers[j])) glDeleteBuffers(1, &indexBuffers[j]);
    delete[] indexBuffers;
    indexBuffers = nullptr;
    delete[] indexInfos;
    indexInfos = nullptr;
    glDeleteBuffers(GLsizei(numVertexBuffers), vertexBuffers);
    delete[] vertexBuffers;
    vertexBuffers = nullptr;
    delete[] vertexBufferSizes;
    vertexBufferSizes = nullptr;
    numVertexBuffers = numIndexBuffers = 0;
    initialized = false;
}
