// Vertex indices of a submesh: implicit (from a first index) or explicit.
#pragma once

#include "m3g/Object3D.h"

namespace M3G {

class IndexBuffer : public Object3D {
public:
    enum Encoding {
        E_Implicit32 = 0,
        E_Implicit8 = 1,
        E_Implicit16 = 2,
        E_Explicit32 = 128,
        E_Explicit8 = 129,
        E_Explicit16 = 130,
    };

    IndexBuffer(DataSource* source, Loader* loader);
    ~IndexBuffer() override;

    // Bytes per explicit index; 0 for the implicit and unknown encodings.
    unsigned int IndexSize() const;

    unsigned int encoding;
    unsigned int firstIndex;  // implicit encodings
    unsigned int indexCount;  // explicit encodings; 0 when the record is too short
    unsigned char* indices;   // indexCount values of IndexSize bytes; owned
};

}  // namespace M3G
