// Archive writing for the packing tool and the tests.
#include "io/ResourceLibraryWriter.h"

#include <climits>
#include <cstdio>
#include <zlib.h>

namespace {
void Put32(std::vector<unsigned char>& out, unsigned int v) {
    for (int i = 0; i < 4; ++i) out.push_back((unsigned char)(v >> (8 * i)));
}
}  // namespace

bool ResourceLibraryWriter::Add(const std::string& name, const unsigned char* data, size_t size) {
    if (name.find('\0') != std::string::npos) {
        fprintf(stderr, "ResourceLibraryWriter::Add(): name with a zero byte\n");
        return false;
    }
    if (size > UINT_MAX || name.size() >= UINT_MAX) {
        fprintf(stderr, "ResourceLibraryWriter::Add(): %s is too large for an archive\n", name.c_str());
        return false;
    }
    uLongf storedSize = compressBound(uLong(size));
    Entry e;
    e.name = name;
    e.size = unsigned(size);
    e.stored.resize(storedSize);
    // zlib wants a valid pointer even for empty input.
    static const unsigned char kEmpty = 0;
    int code = compress2(e.stored.data(), &storedSize, size ? data : &kEmpty, uLong(size), Z_BEST_COMPRESSION);
    if (code != Z_OK) {
        fprintf(stderr, "ResourceLibraryWriter::Add(): compression of %s failed: %d\n", name.c_str(), code);
        return false;
    }
    e.stored.resize(storedSize);
    entries.push_back(std::move(e));
    return true;
}

std::vector<unsigned char> ResourceLibraryWriter::Build() const {
    unsigned long long indexSize = 4;
    for (const Entry& e : entries) indexSize += 4 + e.name.size() + 1 + 12;
    unsigned long long total = indexSize;
    for (const Entry& e : entries) total += e.stored.size();
    // Offsets are 32-bit: every byte of the archive must be addressable.
    if (total > UINT_MAX) {
        fprintf(stderr, "ResourceLibraryWriter::Build(): archive of %llu bytes exceeds 4 GiB\n", total);
        return std::vector<unsigned char>();
    }
    std::vector<unsigned char> out;
    out.reserve(size_t(total));
    Put32(out, unsigned(entries.size()));
    unsigned int offset = unsigned(indexSize);
    for (const Entry& e : entries) {
        Put32(out, unsigned(e.name.size() + 1));
        out.insert(out.end(), e.name.begin(), e.name.end());
        out.push_back(0);
        Put32(out, offset);
        Put32(out, unsigned(e.stored.size()));
        Put32(out, e.size);
        offset += unsigned(e.stored.size());
    }
    for (const Entry& e : entries) out.insert(out.end(), e.stored.begin(), e.stored.end());
    return out;
}

bool ResourceLibraryWriter::Write(const std::string& path) const {
    std::vector<unsigned char> bytes = Build();
    if (bytes.empty()) return false;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        fprintf(stderr, "ResourceLibraryWriter::Write(): can't create %s\n", path.c_str());
        return false;
    }
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (fclose(f) == 0) && ok;
    if (!ok) fprintf(stderr, "ResourceLibraryWriter::Write(): can't write %s\n", path.c_str());
    return ok;
}
