// Vertex buffer records.
#include "m3g/VertexBuffer.h"

#include "io/DataSource.h"

namespace M3G {

VertexBuffer::VertexBuffer(DataSource* source, Loader* loader)
    : Object3D(source, loader),
      texCoords(nullptr),
      extra1(0),
      extra2(0),
      attributeCount(0),
      attributes(nullptr) {
    ReadBytes(source, defaultColor, 4);
    positions = ReadU32(source);
    ReadF32s(source, positionBias, 3);
    positionScale = ReadF32(source);
    normals = ReadU32(source);
    colors = ReadU32(source);
    texCoordCount = ReadU32(source);
    texCoords = NewArray<TexCoordArray>(source, &texCoordCount, 20);
    for (unsigned int i = 0; i < texCoordCount; ++i) {
        texCoords[i].array = ReadU32(source);
        ReadF32s(source, texCoords[i].bias, 3);
        texCoords[i].scale = ReadF32(source);
    }
    if (loader->GetVersion() != 1) return;
    extra1 = ReadU32(source);
    extra2 = ReadU32(source);
    attributeCount = ReadU32(source);
    // An attribute takes at least a terminating zero, an index, two flags and 16 bytes.
    attributes = NewArray<NamedAttribute>(source, &attributeCount, 23);
    for (unsigned int i = 0; i < attributeCount; ++i) {
        // The name's length is found by scanning to its zero, then it is read whole.
        unsigned int start = source->GetPosition();
        unsigned int length = 0;
        while (source->GetRemaining() > 0 && ReadU8(source) != 0) ++length;
        source->SetPosition(start);
        NamedAttribute& a = attributes[i];
        a.name = ReadString(source, length);
        ReadU8(source);  // the terminating zero
        a.array = ReadU32(source);
        a.flag1 = ReadBool(source);
        a.flag2 = ReadBool(source);
        ReadBytes(source, a.further, 16);
    }
}

VertexBuffer::~VertexBuffer() {
    delete[] texCoords;
    for (unsigned int i = 0; i < attributeCount; ++i) delete[] attributes[i].name;
    delete[] attributes;
}

}  // namespace M3G
