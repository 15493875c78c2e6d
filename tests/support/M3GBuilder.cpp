// Scene-file bytes for tests.
#include "support/M3GBuilder.h"

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace testsupport {

namespace {
const unsigned char kIdentifier[12] = {0xAB, 0x4A, 0x53, 0x52, 0x31, 0x38,
                                       0x34, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A};

uint32_t Get32(const std::vector<unsigned char>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}
}  // namespace

Bytes& Bytes::U8(unsigned int v) {
    data.push_back((unsigned char)v);
    return *this;
}
Bytes& Bytes::U16(unsigned int v) {
    return U8(v & 0xFF).U8(v >> 8 & 0xFF);
}
Bytes& Bytes::U32(uint32_t v) {
    return U16(v & 0xFFFF).U16(v >> 16);
}
Bytes& Bytes::F32(float v) {
    uint32_t bits;
    memcpy(&bits, &v, 4);
    return U32(bits);
}
Bytes& Bytes::Raw(const std::vector<unsigned char>& v) {
    data.insert(data.end(), v.begin(), v.end());
    return *this;
}
Bytes& Bytes::Text(const std::string& s) {
    for (char c : s) U8((unsigned char)c);
    return U8(0);
}
Bytes& Bytes::Object3D(uint32_t userId, const std::vector<uint32_t>& tracks) {
    U32(userId).U32(uint32_t(tracks.size()));
    for (uint32_t t : tracks) {
        U32(t);
        if (v2) U32(t + 1000);
    }
    U32(0);
    return v2 ? U8(1) : *this;
}
Bytes& Bytes::PlainNode(uint32_t userId, const std::vector<uint32_t>& tracks) {
    Object3D(userId, tracks).U8(0).U8(0).U8(1).U8(1).U8(255).U32(0xFFFFFFFF).U8(0);
    return v2 ? U32(0) : *this;
}
Bytes& Bytes::Refs(const std::vector<uint32_t>& indices) {
    U32(uint32_t(indices.size()));
    for (uint32_t i : indices) U32(i);
    return *this;
}

Bytes Background(bool v2) {
    Bytes b(v2);
    b.Object3D(5).U8(10).U8(20).U8(30).U8(40).U32(0).U8(0x20).U8(0x20);
    b.U32(0).U32(0).U32(0).U32(0).U8(1).U8(1);
    return v2 ? b.F32(0.5f).U32(0x1FF).U32(9) : b;
}
Bytes Group(uint32_t userId, const std::vector<uint32_t>& children) {
    return Bytes().PlainNode(userId).Refs(children);
}
Bytes World(uint32_t userId, const std::vector<uint32_t>& children) {
    return Group(userId, children).U32(0).U32(0);
}

std::vector<unsigned char> Record(unsigned int type, const Bytes& data) {
    Bytes r;
    r.U8(type).U32(uint32_t(data.data.size())).Raw(data.data);
    return r.data;
}

Bytes HeaderData(unsigned int major) {
    Bytes b;
    b.U8(major).U8(0).U8(0).U32(0).U32(0).Text("test");
    return b;
}

std::vector<unsigned char> Section(const std::vector<std::vector<unsigned char>>& records,
                                   unsigned int compression) {
    std::vector<unsigned char> body;
    for (const auto& r : records) body.insert(body.end(), r.begin(), r.end());
    uint32_t uncompressed = uint32_t(body.size());
    if (compression == 1) {
        uLongf size = compressBound(body.size());
        std::vector<unsigned char> packed(size);
        compress(packed.data(), &size, body.data(), body.size());
        packed.resize(size);
        body = packed;
    }
    Bytes s;
    s.U8(compression).U32(uint32_t(body.size() + 13)).U32(uncompressed).Raw(body).U32(0xC0FFEE);
    return s.data;
}

std::vector<unsigned char> M3GFile(const std::vector<std::vector<unsigned char>>& sections) {
    std::vector<unsigned char> file(kIdentifier, kIdentifier + 12);
    for (const auto& s : sections) file.insert(file.end(), s.begin(), s.end());
    return file;
}

std::vector<unsigned char> SceneFile(std::vector<std::vector<unsigned char>> records,
                                     unsigned int compression, unsigned int major) {
    records.insert(records.begin(), Record(0, HeaderData(major)));
    return M3GFile({Section(records, compression)});
}

bool WalkM3G(const std::vector<unsigned char>& file, std::map<unsigned int, unsigned int>* census) {
    if (file.size() < 12 || memcmp(file.data(), kIdentifier, 12) != 0) return false;
    size_t at = 12;
    while (at < file.size()) {
        if (file.size() - at < 13) return false;
        unsigned int compression = file[at];
        uint32_t total = Get32(file, at + 1), length = Get32(file, at + 5);
        if (total < 13 || total > file.size() - at) return false;
        std::vector<unsigned char> body(file.begin() + at + 9, file.begin() + at + total - 4);
        if (length && compression == 1) {
            std::vector<unsigned char> out(length);
            uLongf size = length;
            if (uncompress(out.data(), &size, body.data(), body.size()) != Z_OK) return false;
            body = out;
        }
        size_t p = 0;
        while (p < length) {
            if (length - p < 5 || body.size() - p < 5) return false;
            uint32_t size = Get32(body, p + 1);
            ++(*census)[body[p]];
            p += 5 + size;
        }
        at += total;
    }
    return true;
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>());
}

}  // namespace testsupport
