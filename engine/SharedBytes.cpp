// Reference-counted byte blocks.
#include "engine/SharedBytes.h"

#include <cassert>

namespace {

// The count sits in a header as large as the strictest alignment, so the
// bytes after it suit floats and doubles alike.
union Header {
    unsigned int references;
    max_align_t align;
};

Header* HeaderOf(const unsigned char* bytes) {
    return reinterpret_cast<Header*>(const_cast<unsigned char*>(bytes) - sizeof(Header));
}

}  // namespace

unsigned char* SharedBytes::New(size_t n) {
    unsigned char* block = new unsigned char[sizeof(Header) + (n ? n : 1)];
    reinterpret_cast<Header*>(block)->references = 1;
    return block + sizeof(Header);
}

unsigned char* SharedBytes::Retain(unsigned char* bytes) {
    if (bytes) ++HeaderOf(bytes)->references;
    return bytes;
}

void SharedBytes::Release(unsigned char* bytes) {
    if (!bytes) return;
    Header* header = HeaderOf(bytes);
    assert(header->references > 0);
    if (--header->references == 0) delete[] reinterpret_cast<unsigned char*>(header);
}

unsigned int SharedBytes::References(const unsigned char* bytes) {
    return bytes ? HeaderOf(bytes)->references : 0;
}
