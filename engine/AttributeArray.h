// Typed vertex attribute or index array: one GL buffer each.
#pragma once

enum NumericType {
    NT_Byte = 0,    // 8-bit integer
    NT_Short = 1,   // 16-bit integer
    NT_Int = 2,     // 32-bit integer
    NT_Float = 3,   // 32-bit float
    NT_Double = 4,  // 64-bit float
    NT_Half = 5,    // 16-bit value, fed to GL as a 16-bit integer
    NT_Fixed = 6,   // 32-bit fixed point
};
static const unsigned int kNumericTypeCount = 7;

// Bytes per value, by NumericType.
extern const unsigned int numericTypeSizeBytes[kNumericTypeCount];

class AttributeArray {
public:
    enum Type {
        at_Location = 0,
        at_Normal = 1,
        at_Tangent = 2,
        at_TexCoord = 3,
        at_Weight = 4,
        at_Color = 5,
        at_Custom0 = 6,
        at_Custom1 = 7,
        at_Custom2 = 8,
        at_Triangle = 9,       // index array of a triangle list
        at_TrianleStrip = 10,  // index array of triangle strips
        at_StripLengths = 11,  // 32-bit lengths of consecutive non-indexed strips
        at_BoneIndex = 12,
        at_BoneWeight = 13,
    };
    static const unsigned int kTypeCount = 14;
    // Slots at_StripLengths..at_BoneWeight are null.
    static const char* const names[kTypeCount];

    // Location, float, 3 components, static: stride 12.
    AttributeArray();
    AttributeArray(Type type, NumericType numericType, unsigned char components, bool dynamic);
    ~AttributeArray();

    // Owns its data, so it moves but does not copy.
    AttributeArray(AttributeArray&& other) noexcept;
    AttributeArray& operator=(AttributeArray&& other) noexcept;
    AttributeArray(const AttributeArray&) = delete;
    AttributeArray& operator=(const AttributeArray&) = delete;

    // components x numericTypeSizeBytes[numericType]; 0 for an unknown type.
    static unsigned int ElementSize(unsigned int components, unsigned int numericType);
    // count x stride: the bytes `data` must hold.
    unsigned int SizeBytes() const { return count * stride; }

    // Makes `data` another reference to a SharedBytes block (releasing what
    // the array held): arrays converted from one scene-file array read one
    // copy.
    void ShareData(unsigned char* bytes);
    // `data`, first copied into a block of the array's own when it is shared,
    // so that a write cannot reach the other readers.
    unsigned char* Writable();

    // count x stride bytes, tightly packed; allocate with new unsigned char[],
    // or share a block through ShareData.
    unsigned char* data;  // owned, or one reference when sharedData is set
    unsigned int count;   // elements (vertices or indices)
    Type type;
    bool dynamic;  // re-sent by UpdateDynamic, dynamic buffer usage
    unsigned int components;  // values per element, 1..4
    NumericType numericType;
    unsigned int stride;  // bytes per element
    bool sharedData;      // data is a SharedBytes block that others may read

private:
    void ReleaseData();
};
