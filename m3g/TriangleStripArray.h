// Triangle strips over an index buffer.
#pragma once

#include "m3g/IndexBuffer.h"

class AttributeArray;

namespace M3G {

class TriangleStripArray : public IndexBuffer {
public:
    TriangleStripArray(DataSource* source, Loader* loader);
    ~TriangleStripArray() override;
    Type GetType() const override { return T_TriangleStripArray; }
    // Fills stripLengths, outputs the first index and a new[] list of
    // triangle arrays: the explicit indices, or for implicit indices the
    // strip lengths themselves (strips of consecutive vertices).
    void CreateArrays(AttributeArray** arrays, unsigned int* count, AttributeArray* stripLengths,
                      unsigned int* first);

    unsigned int stripCount;
    unsigned int* stripLengths;  // owned
};

}  // namespace M3G
