// Byte blocks that several owners read (the meshes of one vertex array, the
// textures of one image): a reference count in front of the bytes.
#pragma once

#include <cstddef>

class SharedBytes {
public:
    // n bytes, uninitialised, with one reference held by the caller. Throws
    // std::bad_alloc like new[].
    static unsigned char* New(size_t n);
    // Another reference to the block; null stays null.
    static unsigned char* Retain(unsigned char* bytes);
    // Gives up one reference; the last one frees the block. Null is ignored.
    static void Release(unsigned char* bytes);
    // References held now; 0 for null.
    static unsigned int References(const unsigned char* bytes);
};
