// A fast PNG encoder for captured frames: every row filtered by its left
// neighbour, the result coded with one Huffman table fitted to the frame (a
// deflate stream of literals only). Several times faster than zlib's own
// Huffman-only mode and as small; pictures are exact.
#pragma once

#include <vector>

class PngEncoder {
public:
    // rgba: width * height pixels of 4 bytes, rows bottom-up as glReadPixels
    // gives them; out receives the whole file (reused between calls).
    void Encode(const unsigned char* rgba, unsigned int width, unsigned int height,
                std::vector<unsigned char>* out);

    // Code lengths (at most maxLength bits) for the counts; symbols with a
    // count of 0 get no code. Public for the tests.
    static void BuildLengths(const unsigned int* counts, unsigned int symbols,
                             unsigned int maxLength, unsigned char* lengths);

private:
    std::vector<unsigned char> filtered;  // filter byte + RGB residuals per row
};
