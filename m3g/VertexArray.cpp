// Vertex array records.
#include "m3g/VertexArray.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "engine/AttributeArray.h"
#include "engine/SharedBytes.h"

namespace M3G {

unsigned int VertexArray::ElementSize(unsigned int componentType) {
    switch (componentType) {
    case CT_Byte:
        return 1;
    case CT_Short:
    case CT_Half:
        return 2;
    case CT_Fixed:
    case CT_Float:
        return 4;
    default:
        return 0;
    }
}

VertexArray::VertexArray(DataSource* source, Loader* loader)
    : Object3D(source, loader), values(nullptr), copied(nullptr) {
    componentType = ReadU8(source);
    componentCount = ReadU8(source);
    encoding = ReadU8(source);
    vertexCount = ReadU16(source);
    unsigned int size = ElementSize(componentType);
    if (size == 0) {
        printf("unsupported component type %d\n", int(componentType));
        vertexCount = 0;
        return;
    }
    // vertexCount < 2^16 and componentCount < 2^8: the row size cannot wrap.
    values = ReadBlock(source, &vertexCount, componentCount * size);
}

VertexArray::~VertexArray() {
    delete[] values;
    for (auto& entry : scaled) SharedBytes::Release(entry.second);
    SharedBytes::Release(copied);
}

float* VertexArray::CreateElements(const float* bias, float scale) {
    if (!values) return nullptr;
    float* out = new float[size_t(vertexCount) * componentCount];
    ConvertElements(out, bias, scale);
    return out;
}

void VertexArray::ConvertElements(float* out, const float* bias, float scale) const {
    unsigned int n = vertexCount * componentCount;
    for (unsigned int i = 0; i < n; ++i) {
        float value = 0.0f;
        switch (componentType) {
        case CT_Byte:
            value = float(int8_t(values[i]));
            break;
        case CT_Short: {
            int16_t v;
            memcpy(&v, values + size_t(i) * 2, 2);
            value = float(v);
            break;
        }
        case CT_Fixed: {
            int32_t v;
            memcpy(&v, values + size_t(i) * 4, 4);
            value = float(v) * 1.5258789e-5f;  // 16.16 fixed point
            break;
        }
        case CT_Float:
            memcpy(&value, values + size_t(i) * 4, 4);
            break;
        default:
            break;
        }
        unsigned int k = i % componentCount;
        out[i] = value * scale + (bias && k < 3 ? bias[k] : 0.0f);
    }
}

unsigned char* VertexArray::CopyElements() {
    if (!values) return nullptr;
    size_t n = StoredBytes();
    unsigned char* out = new unsigned char[n];
    memcpy(out, values, n);
    return out;
}

size_t VertexArray::StoredBytes() const {
    return size_t(vertexCount) * componentCount * ElementSize(componentType);
}

unsigned char* VertexArray::SharedElements(const float* bias, float scale) {
    if (!values) return nullptr;
    // Keyed by the bits, so that every bias and scale that converts
    // differently gets its own block (and -0 and 0 their own, harmlessly).
    ScaleKey key = {{0, 0, 0, 0}};
    if (bias) memcpy(key.bits, bias, 12);
    memcpy(&key.bits[3], &scale, 4);
    auto found = scaled.find(key);
    if (found != scaled.end()) return found->second;
    // The block and the entry that finds it again.
    size_t bytes = size_t(vertexCount) * componentCount * 4;
    if (!loader->Charge(bytes + 64)) return nullptr;
    unsigned char* block = SharedBytes::New(bytes);
    ConvertElements(reinterpret_cast<float*>(block), bias, scale);
    try {
        scaled[key] = block;
    } catch (...) {
        SharedBytes::Release(block);
        throw;
    }
    return block;
}

unsigned char* VertexArray::SharedCopy() {
    if (!values || copied) return copied;
    if (!loader->Charge(StoredBytes())) return nullptr;
    copied = SharedBytes::New(StoredBytes());
    memcpy(copied, values, StoredBytes());
    return copied;
}

unsigned int VertexArray::GetNumericType() const {
    switch (componentType) {
    case CT_Byte:
        return NT_Byte;
    case CT_Short:
    case CT_Half:
        return NT_Short;
    case CT_Fixed:
        return NT_Fixed;
    case CT_Float:
        return NT_Float;
    default:
        return NT_Byte;
    }
}

}  // namespace M3G
