// Per-vertex values of one attribute.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "m3g/Object3D.h"

namespace M3G {

class VertexArray : public Object3D {
public:
    enum ComponentType { CT_Byte = 1, CT_Short = 2, CT_Fixed = 3, CT_Float = 4, CT_Half = 5 };

    VertexArray(DataSource* source, Loader* loader);
    ~VertexArray() override;
    Type GetType() const override { return T_VertexArray; }

    // Bytes per value of a component type; 0 for an unsupported one.
    static unsigned int ElementSize(unsigned int componentType);

    // vertexCount x componentCount floats: value x scale + bias[component].
    // 16-bit values of type 5 are not decoded and give the bias. Null without values.
    float* CreateElements(const float* bias, float scale);
    // A new[] copy of the stored values; null without values.
    unsigned char* CopyElements();
    // What the engine arrays of a file share: the conversion of
    // CreateElements in a SharedBytes block, made once per bias and scale,
    // and the stored values in one block. The record holds one reference to
    // each until it goes. Null without values or past the loader's budget.
    unsigned char* SharedElements(const float* bias, float scale);
    unsigned char* SharedCopy();
    // Bytes of the stored values.
    size_t StoredBytes() const;
    // The engine NumericType of the stored values.
    unsigned int GetNumericType() const;

    unsigned int componentType;
    unsigned int componentCount;
    unsigned int encoding;
    unsigned int vertexCount;
    // vertexCount x componentCount values of ElementSize bytes; owned; null
    // (and vertexCount 0) when the type is unsupported or the record too short.
    unsigned char* values;

private:
    struct ScaleKey {
        uint32_t bits[4];  // bias x, y, z and scale
        bool operator<(const ScaleKey& o) const {
            for (int i = 0; i < 4; ++i)
                if (bits[i] != o.bits[i]) return bits[i] < o.bits[i];
            return false;
        }
    };
    void ConvertElements(float* out, const float* bias, float scale) const;

    std::map<ScaleKey, unsigned char*> scaled;  // SharedBytes blocks
    unsigned char* copied;                      // SharedBytes block
};

}  // namespace M3G
