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
    // strip lengths themselves (strips of consecutive vertices). Every mesh
    // of the record shares one block of lengths and one of indices; past the
    // loader's budget nothing is filled.
    void CreateArrays(AttributeArray** arrays, unsigned int* count, AttributeArray* stripLengths,
                      unsigned int* first);

    unsigned int stripCount;
    unsigned int* stripLengths;  // owned

private:
    // Makes the shared blocks once; false past the budget.
    bool ConvertBlocks(unsigned int indexSize);

    bool converted;
    unsigned char* lengthBlock;    // SharedBytes: stripCount u32 lengths
    unsigned char* indexBlock;     // SharedBytes: stripIndexCount indices
    unsigned int stripIndexCount;  // the lengths' sum, cut to the indices held
};

}  // namespace M3G
