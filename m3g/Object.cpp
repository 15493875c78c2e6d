// Bounded little-endian readers shared by the scene-file records.
#include "m3g/Object.h"

#include <cstring>

#include "io/DataSource.h"

namespace M3G {

unsigned int Object::ReadU8(DataSource* s) {
    return unsigned(s->Read8()) & 0xFFu;
}

unsigned int Object::ReadU16(DataSource* s) {
    return unsigned(s->Read16()) & 0xFFFFu;
}

unsigned int Object::ReadU32(DataSource* s) {
    return unsigned(s->Read32());
}

int Object::ReadI32(DataSource* s) {
    return s->Read32();
}

float Object::ReadF32(DataSource* s) {
    unsigned int bits = ReadU32(s);
    float f;
    memcpy(&f, &bits, 4);
    return f;
}

bool Object::ReadBool(DataSource* s) {
    return ReadU8(s) == 1;
}

void Object::ReadF32s(DataSource* s, float* out, unsigned int n) {
    for (unsigned int i = 0; i < n; ++i) out[i] = ReadF32(s);
}

void Object::ReadBytes(DataSource* s, unsigned char* out, unsigned int n) {
    for (unsigned int i = 0; i < n; ++i) out[i] = (unsigned char)ReadU8(s);
}

char* Object::ReadString(DataSource* s, unsigned int n) {
    if (n > s->GetRemaining()) n = s->GetRemaining();
    char* text = new char[n + 1];
    ReadBytes(s, reinterpret_cast<unsigned char*>(text), n);
    text[n] = 0;
    return text;
}

bool Object::Fits(DataSource* s, unsigned long long count, unsigned long long size) {
    if (size == 0) return true;
    return count <= s->GetRemaining() / size;
}

unsigned char* Object::ReadBlock(DataSource* s, unsigned int* count, unsigned int size) {
    if (*count == 0 || size == 0 || !Fits(s, *count, size)) {
        *count = 0;
        return nullptr;
    }
    unsigned int bytes = *count * size;  // bounded by the remaining bytes above
    unsigned char* block = new unsigned char[bytes];
    if (!s->Read(block, bytes)) memset(block, 0, bytes);
    return block;
}

unsigned int* Object::ReadU32Array(DataSource* s, unsigned int* count) {
    unsigned int* values = NewArray<unsigned int>(s, count, 4);
    for (unsigned int i = 0; i < *count; ++i) values[i] = ReadU32(s);
    return values;
}

}  // namespace M3G
