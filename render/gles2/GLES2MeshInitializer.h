// GL side of a mesh: one buffer per vertex array and per index array, and
// what was uploaded, so that draws can be kept inside the buffers.
#pragma once

#include <GLES2/gl2.h>

#include <cstddef>

#include "engine/ResourceInitializer.h"

class Mesh;

class GLES2MeshInitializer : public ResourceInitializer {
public:
    // Buffer usage by an array's dynamic flag.
    static const GLenum sc_dyn2usage[2];

    // What an index buffer holds, recorded at upload.
    struct IndexInfo {
        unsigned int numericType;  // NumericType of the indices
        unsigned int count;        // indices the buffer holds; 0 without buffer
        unsigned int maxIndex;     // largest index in the buffer
    };

    explicit GLES2MeshInitializer(Mesh* mesh);
    // Releases the GL buffers (Deinit) and the host-side arrays.
    ~GLES2MeshInitializer() override;

    // Fails (silently) for a mesh without vertex arrays.
    bool Init() override;
    void Deinit() override;
    // Re-sends the arrays marked dynamic. An array that grew since the last
    // upload gets new storage of its new size.
    void UpdateDynamic() override;

    GLuint* vertexBuffers;  // one per vertex array
    GLuint* indexBuffers;   // one per triangle array (0: none), or null

    unsigned int numVertexBuffers;  // vertex arrays at Init
    unsigned int numIndexBuffers;   // triangle arrays at Init
    size_t* vertexBufferSizes;      // bytes in each vertex buffer
    IndexInfo* indexInfos;          // one per triangle array, or null
    // The skipped batches of this mesh have been reported once already.
    bool batchesReported;

private:
    void RecordIndices(unsigned int j);
};
