// Index buffer fields.
#include "m3g/IndexBuffer.h"

namespace M3G {

IndexBuffer::IndexBuffer(DataSource* source, Loader* loader)
    : Object3D(source, loader), firstIndex(0), indexCount(0), indices(nullptr) {
    encoding = ReadU8(source);
    switch (encoding) {
    case E_Implicit32:
        firstIndex = ReadU32(source);
        return;
    case E_Implicit8:
        firstIndex = ReadU8(source);
        return;
    case E_Implicit16:
        firstIndex = ReadU16(source);
        return;
    case E_Explicit32:
    case E_Explicit8:
    case E_Explicit16:
        indexCount = ReadU32(source);
        indices = ReadBlock(source, &indexCount, IndexSize());
        return;
    default:
        return;
    }
}

IndexBuffer::~IndexBuffer() {
    delete[] indices;
}

unsigned int IndexBuffer::IndexSize() const {
    switch (encoding) {
    case E_Explicit32:
        return 4;
    case E_Explicit8:
        return 1;
    case E_Explicit16:
        return 2;
    default:
        return 0;
    }
}

}  // namespace M3G
