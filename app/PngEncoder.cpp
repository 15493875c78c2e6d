// PNG files written straight from frame buffers: SUB filter, one dynamic
// Huffman block of literals, zlib's checksums.
#include "app/PngEncoder.h"

#include <zlib.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>

namespace {

// Deflate's bits go out least significant first. Writes into room the caller
// made: no bounds checks in the per-byte path.
class BitWriter {
public:
    explicit BitWriter(unsigned char* out) : start(out), out(out), bits(0), count(0) {}
    void Put(uint32_t value, unsigned int n) {
        bits |= uint64_t(value) << count;
        count += n;
        if (count >= 32) {
            out[0] = (unsigned char)bits;
            out[1] = (unsigned char)(bits >> 8);
            out[2] = (unsigned char)(bits >> 16);
            out[3] = (unsigned char)(bits >> 24);
            out += 4;
            bits >>= 32;
            count -= 32;
        }
    }
    // Bytes written, the last partial one included.
    size_t Flush() {
        while (count > 0) {
            *out++ = (unsigned char)bits;
            bits >>= 8;
            count = count > 8 ? count - 8 : 0;
        }
        return size_t(out - start);
    }

private:
    unsigned char* start;
    unsigned char* out;
    uint64_t bits;
    unsigned int count;
};

// Canonical codes for the lengths, bit-reversed for deflate's bit order.
void MakeCodes(const unsigned char* lengths, unsigned int symbols, uint32_t* codes) {
    unsigned int perLength[16] = {0};
    for (unsigned int i = 0; i < symbols; ++i) ++perLength[lengths[i]];
    perLength[0] = 0;
    uint32_t next[16] = {0};
    uint32_t code = 0;
    for (unsigned int n = 1; n < 16; ++n) {
        code = (code + perLength[n - 1]) << 1;
        next[n] = code;
    }
    for (unsigned int i = 0; i < symbols; ++i) {
        unsigned int n = lengths[i];
        if (n == 0) continue;
        uint32_t c = next[n]++, reversed = 0;
        for (unsigned int b = 0; b < n; ++b) reversed |= ((c >> b) & 1u) << (n - 1 - b);
        codes[i] = reversed;
    }
}

void PutBigEndian32(std::vector<unsigned char>* out, uint32_t v) {
    unsigned char b[4] = {(unsigned char)(v >> 24), (unsigned char)(v >> 16),
                          (unsigned char)(v >> 8), (unsigned char)v};
    out->insert(out->end(), b, b + 4);
}

// A chunk whose data already sits at the end of out, after its length and type.
void CloseChunk(std::vector<unsigned char>* out, size_t start) {
    size_t length = out->size() - start - 8;
    for (int i = 0; i < 4; ++i) (*out)[start + size_t(i)] = (unsigned char)(length >> (24 - 8 * i));
    uLong crc = crc32(0L, out->data() + start + 4, uInt(length + 4));
    PutBigEndian32(out, uint32_t(crc));
}

size_t OpenChunk(std::vector<unsigned char>* out, const char* type) {
    size_t start = out->size();
    out->insert(out->end(), 4, 0);
    out->insert(out->end(), type, type + 4);
    return start;
}

}  // namespace

void PngEncoder::BuildLengths(const unsigned int* counts, unsigned int symbols,
                              unsigned int maxLength, unsigned char* lengths) {
    // Fixed arrays: this runs for every frame, and the alphabets are small.
    static const unsigned int kMaxSymbols = 288;
    // Room for every symbol at the limit, so flattening always ends.
    assert(symbols >= 2 && symbols <= kMaxSymbols && (1u << maxLength) >= symbols);
    uint64_t weight[kMaxSymbols * 2];
    unsigned int parent[kMaxSymbols * 2];
    unsigned int depth[kMaxSymbols * 2];
    bool open[kMaxSymbols * 2];
    unsigned int scale = 0;  // counts are halved this often after a code came out too long
    for (;;) {
        unsigned int nodes = 0, leaves = 0;
        for (unsigned int i = 0; i < symbols; ++i) {
            unsigned int c = counts[i] ? ((counts[i] >> scale) | 1u) : 0;
            weight[i] = c;
            open[i] = c > 0;
            parent[i] = 0;
            leaves += c > 0;
        }
        nodes = symbols;
        // One symbol still needs a code of one bit: a dummy partner gives it one.
        if (leaves == 1) {
            unsigned int other = open[0] ? 1 : 0;
            weight[other] = 1;
            open[other] = true;
            leaves = 2;
        }
        memset(lengths, 0, symbols);
        if (leaves == 0) return;
        // Huffman's merges, the two lightest open nodes each time; internal
        // nodes are numbered from `symbols` up, so a parent of 0 means none.
        for (unsigned int merged = 1; merged < leaves; ++merged) {
            unsigned int a = kMaxSymbols * 2, b = kMaxSymbols * 2;
            for (unsigned int i = 0; i < nodes; ++i) {
                if (!open[i]) continue;
                if (a == kMaxSymbols * 2 || weight[i] < weight[a]) {
                    b = a;
                    a = i;
                } else if (b == kMaxSymbols * 2 || weight[i] < weight[b]) {
                    b = i;
                }
            }
            open[a] = open[b] = false;
            weight[nodes] = weight[a] + weight[b];
            parent[nodes] = 0;
            open[nodes] = true;
            parent[a] = parent[b] = nodes;
            ++nodes;
        }
        // Parents come after their children, so one backward walk sets every depth.
        unsigned int longest = 0;
        depth[nodes - 1] = 0;
        for (unsigned int node = nodes - 1; node-- > 0;) {
            if (node >= symbols || parent[node] != 0)
                depth[node] = parent[node] ? depth[parent[node]] + 1 : 0;
            if (node < symbols && parent[node] != 0) longest = std::max(longest, depth[node]);
        }
        if (longest <= maxLength) {
            for (unsigned int i = 0; i < symbols; ++i)
                if (parent[i] != 0) lengths[i] = (unsigned char)depth[i];
            return;
        }
        // Too deep: flatten the counts and build again (rare, and only costs
        // a little compression). By 31 halvings every count is 1: a balanced tree.
        ++scale;
        if (scale > 31) scale = 31;
    }
}

void PngEncoder::Encode(const unsigned char* rgba, unsigned int width, unsigned int height,
                        std::vector<unsigned char>* out) {
    const size_t rowBytes = size_t(width) * 3 + 1;
    filtered.resize(rowBytes * height);
    unsigned int counts[257] = {0};
    for (unsigned int y = 0; y < height; ++y) {
        // PNG rows run top-down, GL's bottom-up.
        const unsigned char* src = rgba + size_t(height - 1 - y) * width * 4;
        unsigned char* dst = &filtered[rowBytes * y];
        dst[0] = 1;  // SUB: each byte minus the same channel of the pixel to its left
        unsigned char left[3] = {0, 0, 0};
        for (unsigned int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                unsigned char v = src[x * 4 + unsigned(c)];
                unsigned char d = (unsigned char)(v - left[c]);
                dst[1 + x * 3 + unsigned(c)] = d;
                ++counts[d];
                left[c] = v;
            }
        }
        ++counts[1];
    }
    counts[256] = 1;  // end of block

    unsigned char litLengths[257];
    BuildLengths(counts, 257, 15, litLengths);
    uint32_t litCodes[257] = {0};
    MakeCodes(litLengths, 257, litCodes);

    // The code lengths are sent coded too: 257 literal lengths, then one
    // distance length of 0 (no distance codes: the data is all literals).
    unsigned char all[258];
    memcpy(all, litLengths, 257);
    all[257] = 0;
    unsigned int clCounts[19] = {0};
    for (unsigned char n : all) ++clCounts[n];
    unsigned char clLengths[19];
    BuildLengths(clCounts, 19, 7, clLengths);
    uint32_t clCodes[19] = {0};
    MakeCodes(clLengths, 19, clCodes);
    static const unsigned char kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                             11, 4,  12, 3, 13, 2, 14, 1, 15};
    unsigned int clSent = 19;
    while (clSent > 4 && clLengths[kOrder[clSent - 1]] == 0) --clSent;

    out->clear();
    static const unsigned char kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    out->insert(out->end(), kSignature, kSignature + 8);
    size_t chunk = OpenChunk(out, "IHDR");
    PutBigEndian32(out, width);
    PutBigEndian32(out, height);
    const unsigned char ihdr[5] = {8, 2, 0, 0,
                                   0};  // 8-bit RGB, deflate, adaptive filters, no interlace
    out->insert(out->end(), ihdr, ihdr + 5);
    CloseChunk(out, chunk);

    chunk = OpenChunk(out, "IDAT");
    out->push_back(0x78);  // deflate, 32 KB window
    out->push_back(0x01);
    // Exactly the room the codes take (known from the counts), plus the
    // block header: at most 3 + 14 + 19 * 3 + 258 * 7 bits.
    uint64_t dataBits = 0;
    for (unsigned int i = 0; i < 257; ++i) dataBits += uint64_t(counts[i]) * litLengths[i];
    size_t at = out->size();
    out->resize(at + size_t(dataBits / 8) + 256 + 8);
    BitWriter bits(out->data() + at);
    bits.Put(1, 1);  // the last block
    bits.Put(2, 2);  // dynamic Huffman codes
    bits.Put(257 - 257, 5);
    bits.Put(1 - 1, 5);
    bits.Put(clSent - 4, 4);
    for (unsigned int i = 0; i < clSent; ++i) bits.Put(clLengths[kOrder[i]], 3);
    for (unsigned char n : all) bits.Put(clCodes[n], clLengths[n]);
    for (unsigned char byte : filtered) bits.Put(litCodes[byte], litLengths[byte]);
    bits.Put(litCodes[256], litLengths[256]);
    out->resize(at + bits.Flush());
    PutBigEndian32(out, uint32_t(adler32(1L, filtered.data(), uInt(filtered.size()))));
    CloseChunk(out, chunk);

    chunk = OpenChunk(out, "IEND");
    CloseChunk(out, chunk);
}
