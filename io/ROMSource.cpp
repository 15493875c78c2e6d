// Memory-backed byte source.
#include "io/ROMSource.h"

#include <cstdlib>
#include <cstring>

ROMSource::ROMSource(const unsigned char* data, unsigned int length, bool owned)
    : data(data), length(length), owned(owned), position(0) {}

ROMSource::~ROMSource() {
    if (owned) free(const_cast<unsigned char*>(data));
}

const unsigned char* ROMSource::Take(unsigned int k) {
    unsigned int at = GetPosition();
    // The position may have been set beyond the block; nothing remains then.
    if (at > length || k > length - at) {
        if (at < length) SetPosition(length);
        return nullptr;
    }
    SetPosition(at + k);
    return data + at;
}

int ROMSource::Read8() {
    const unsigned char* p = Take(1);
    return p ? int(static_cast<signed char>(p[0])) : 0;
}

int ROMSource::Read16() {
    const unsigned char* p = Take(2);
    return p ? int(static_cast<short>(p[0] | (p[1] << 8))) : 0;
}

int ROMSource::Read32() {
    const unsigned char* p = Take(4);
    if (!p) return 0;
    unsigned int v = unsigned(p[0]) | unsigned(p[1]) << 8 | unsigned(p[2]) << 16 | unsigned(p[3]) << 24;
    return int(v);
}

unsigned char* ROMSource::Read(unsigned int n) {
    return const_cast<unsigned char*>(Take(n));
}

void* ROMSource::Read(void* buffer, unsigned int n) {
    const unsigned char* p = Take(n);
    if (!p) return nullptr;
    if (n) memcpy(buffer, p, n);
    return buffer;
}

void ROMSource::SetPosition(unsigned int p) { position = p; }

unsigned int ROMSource::GetPosition() { return position; }

bool ROMSource::IsReadOnly() { return true; }

unsigned int ROMSource::GetLength() { return length; }
