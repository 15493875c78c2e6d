// Triangle strip array records.
#include "m3g/TriangleStripArray.h"

#include <cstdint>
#include <cstring>

#include "engine/AttributeArray.h"

namespace M3G {

TriangleStripArray::TriangleStripArray(DataSource* source, Loader* loader)
    : IndexBuffer(source, loader) {
    stripCount = ReadU32(source);
    stripLengths = ReadU32Array(source, &stripCount);
}

TriangleStripArray::~TriangleStripArray() {
    delete[] stripLengths;
}

namespace {

// A strip-length array holding a copy of the count lengths.
AttributeArray StripLengthArray(const unsigned int* lengths, unsigned int count) {
    AttributeArray array(AttributeArray::at_StripLengths, NT_Int, 1, false);
    array.count = count;
    if (count) {
        array.data = new unsigned char[size_t(count) * 4];
        memcpy(array.data, lengths, size_t(count) * 4);
    }
    return array;
}

}  // namespace

void TriangleStripArray::CreateArrays(AttributeArray** arrays, unsigned int* count,
                                      AttributeArray* lengths, unsigned int* first) {
    *lengths = StripLengthArray(stripLengths, stripCount);
    *first = firstIndex;
    *arrays = nullptr;
    *count = 0;
    unsigned int size = IndexSize();
    if (size == 0) {
        if (encoding > E_Implicit16) return;
        // Implicit indices: the mesh draws the strips over consecutive
        // vertices from the first index.
        AttributeArray* strips = new AttributeArray[1];
        strips[0] = StripLengthArray(stripLengths, stripCount);
        *arrays = strips;
        *count = 1;
        return;
    }
    // The strips hold as many indices as their lengths add up to, but never
    // more than the record has.
    uint64_t total = 0;
    for (unsigned int i = 0; i < stripCount; ++i) total += stripLengths[i];
    unsigned int n = total < indexCount ? unsigned(total) : indexCount;
    AttributeArray* index = new AttributeArray[1];
    NumericType type = size == 4 ? NT_Int : size == 2 ? NT_Short : NT_Byte;
    index[0] = AttributeArray(AttributeArray::at_TrianleStrip, type, 1, false);
    index[0].count = n;
    if (n) {
        index[0].data = new unsigned char[size_t(n) * size];
        memcpy(index[0].data, indices, size_t(n) * size);
    }
    *arrays = index;
    *count = 1;
}

}  // namespace M3G
