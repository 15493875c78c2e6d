// Triangle strip array records.
#include "m3g/TriangleStripArray.h"

#include <cstdint>
#include <cstring>

#include "engine/AttributeArray.h"
#include "engine/SharedBytes.h"

namespace M3G {

TriangleStripArray::TriangleStripArray(DataSource* source, Loader* loader)
    : IndexBuffer(source, loader),
      converted(false),
      lengthBlock(nullptr),
      indexBlock(nullptr),
      stripIndexCount(0) {
    stripCount = ReadU32(source);
    stripLengths = ReadU32Array(source, &stripCount);
}

TriangleStripArray::~TriangleStripArray() {
    delete[] stripLengths;
    SharedBytes::Release(lengthBlock);
    SharedBytes::Release(indexBlock);
}

void TriangleStripArray::CreateArrays(AttributeArray** arrays, unsigned int* count,
                                      AttributeArray* lengths, unsigned int* first) {
    *first = firstIndex;
    *arrays = nullptr;
    *count = 0;
    unsigned int size = IndexSize();
    *lengths = AttributeArray(AttributeArray::at_StripLengths, NT_Int, 1, false);
    if (!ConvertBlocks(size)) return;
    lengths->ShareData(lengthBlock);
    lengths->count = lengthBlock ? stripCount : 0;
    if (size == 0) {
        if (encoding > E_Implicit16) return;
        // Implicit indices: the mesh draws the strips over consecutive
        // vertices from the first index.
        AttributeArray* strips = new AttributeArray[1];
        strips[0] = AttributeArray(AttributeArray::at_StripLengths, NT_Int, 1, false);
        strips[0].ShareData(lengthBlock);
        strips[0].count = lengthBlock ? stripCount : 0;
        *arrays = strips;
        *count = 1;
        return;
    }
    AttributeArray* index = new AttributeArray[1];
    NumericType type = size == 4 ? NT_Int : size == 2 ? NT_Short : NT_Byte;
    index[0] = AttributeArray(AttributeArray::at_TrianleStrip, type, 1, false);
    index[0].ShareData(indexBlock);
    index[0].count = indexBlock ? stripIndexCount : 0;
    *arrays = index;
    *count = 1;
}

bool TriangleStripArray::ConvertBlocks(unsigned int size) {
    if (converted) return true;
    // The strips hold as many indices as their lengths add up to, but never
    // more than the record has.
    uint64_t total = 0;
    for (unsigned int i = 0; i < stripCount; ++i) total += stripLengths[i];
    unsigned int n = size == 0 ? 0 : total < indexCount ? unsigned(total) : indexCount;
    if (!loader->Charge(uint64_t(stripCount) * 4 + uint64_t(n) * size)) return false;
    if (stripCount) {
        lengthBlock = SharedBytes::New(size_t(stripCount) * 4);
        memcpy(lengthBlock, stripLengths, size_t(stripCount) * 4);
    }
    if (n) {
        indexBlock = SharedBytes::New(size_t(n) * size);
        memcpy(indexBlock, indices, size_t(n) * size);
    }
    stripIndexCount = n;
    converted = true;
    return true;
}

}  // namespace M3G
