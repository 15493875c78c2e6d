// Builds scene files byte by byte for tests: records, plain or zlib sections,
// and an independent walk of a file's section and record headers.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// Little-endian byte appender; `v2` picks the 2.0 layout for the common
// fields written below.
class Bytes {
public:
    explicit Bytes(bool v2_ = false) : v2(v2_) {}
    Bytes& U8(unsigned int v);
    Bytes& U16(unsigned int v);
    Bytes& U32(uint32_t v);
    Bytes& F32(float v);
    Bytes& Raw(const std::vector<unsigned char>& v);
    Bytes& Text(const std::string& s);  // with its terminating zero
    // An object's common fields: user id, no tracks (or these), no parameters.
    // In 2.0 each track is followed by its index + 1000, and a closing flag 1.
    Bytes& Object3D(uint32_t userId, const std::vector<uint32_t>& tracks = {});
    // Transformable with neither transform, then node fields without
    // alignment; in 2.0 no further values.
    Bytes& PlainNode(uint32_t userId, const std::vector<uint32_t>& tracks = {});
    Bytes& Refs(const std::vector<uint32_t>& indices);  // a count, then the indices
    bool v2;
    std::vector<unsigned char> data;
};

std::vector<unsigned char> Record(unsigned int type, const Bytes& data);
// A background of colour 10 20 30 40 without image, clearing depth; 1.0 then
// clears colour, 2.0 stencil, to the depth 0.5 and stencil 0x1FF (and an extra 9).
Bytes Background(bool v2);
// 1.0 group and World records; a World without camera or background.
Bytes Group(uint32_t userId, const std::vector<uint32_t>& children);
Bytes World(uint32_t userId, const std::vector<uint32_t>& children);
// Header record data for version 1.0 (minor 0) or 2.0.
Bytes HeaderData(unsigned int major);
// A section over the concatenated records; compression 1 deflates them.
std::vector<unsigned char> Section(const std::vector<std::vector<unsigned char>>& records,
                                   unsigned int compression = 0);
// The identifier followed by the sections.
std::vector<unsigned char> M3GFile(const std::vector<std::vector<unsigned char>>& sections);
// A file of one section: the header record of that version, then the records.
std::vector<unsigned char> SceneFile(std::vector<std::vector<unsigned char>> records,
                                     unsigned int compression = 0, unsigned int major = 1);

// Object count per type code, found by walking the headers (inflating zlib
// sections); false when the file is not well formed.
bool WalkM3G(const std::vector<unsigned char>& file, std::map<unsigned int, unsigned int>* census);

std::vector<unsigned char> ReadBytes(const std::string& path);

}  // namespace testsupport
