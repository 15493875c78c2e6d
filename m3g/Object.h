// Root of the records read from a scene file, and the bounded readers every
// record constructor uses.
#pragma once

class DataSource;

namespace M3G {

class Object {
public:
    // Object type codes of the file format.
    enum Type {
        T_Header = 0,
        T_AnimationController = 1,
        T_AnimationTrack = 2,
        T_Appearance = 3,
        T_Background = 4,
        T_Camera = 5,
        T_CompositingMode = 6,
        T_Fog = 7,
        T_PolygonMode = 8,
        T_Group = 9,
        T_Image2D = 10,
        T_TriangleStripArray = 11,
        T_Light = 12,
        T_Material = 13,
        T_Mesh = 14,
        T_MorphingMesh = 15,
        T_SkinnedMesh = 16,
        T_Texture2D = 17,
        T_Sprite3D = 18,
        T_KeyframeSequence = 19,
        T_VertexArray = 20,
        T_VertexBuffer = 21,
        T_World = 22,
        T_ExternalReference = 255,
    };

    Object() {}
    virtual ~Object() {}
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual Type GetType() const = 0;

    // Little-endian readers. Each record reads from a source bounded to its own
    // data, so a read past the end yields 0 instead of bytes of the next one.
    static unsigned int ReadU8(DataSource* s);
    static unsigned int ReadU16(DataSource* s);
    static unsigned int ReadU32(DataSource* s);
    static int ReadI32(DataSource* s);
    static float ReadF32(DataSource* s);
    // True only for a byte that is exactly 1.
    static bool ReadBool(DataSource* s);
    static void ReadF32s(DataSource* s, float* out, unsigned int n);
    static void ReadBytes(DataSource* s, unsigned char* out, unsigned int n);
    // A new[] zero-terminated copy of the next n bytes, cut to what the
    // source has left.
    static char* ReadString(DataSource* s, unsigned int n);
    // Whether count items of size bytes fit in what the source has left;
    // written so that it cannot overflow.
    static bool Fits(DataSource* s, unsigned long long count, unsigned long long size);
    // A new[] block of count x size bytes read from the source, or null with
    // count set to 0 when the record cannot hold that many.
    static unsigned char* ReadBlock(DataSource* s, unsigned int* count, unsigned int size);
    // count u32 values into a new[] array, or null with count set to 0.
    static unsigned int* ReadU32Array(DataSource* s, unsigned int* count);
    // A new[] array of count entries that each take at least minSize (> 0)
    // bytes in the record, or null with count set to 0 when the record cannot
    // hold that many (or count is 0).
    template <class T>
    static T* NewArray(DataSource* s, unsigned int* count, unsigned int minSize) {
        if (!Fits(s, *count, minSize)) *count = 0;
        return *count ? new T[*count] : nullptr;
    }
};

}  // namespace M3G
