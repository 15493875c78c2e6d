// Archive index reading and entry inflation.
#include "io/ResourceLibrary.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <zlib.h>

#include "io/DataSource.h"
#include "io/ROMSource.h"

namespace {
// nameLength, at least the terminating zero, offset, compressedSize, size.
const unsigned int kMinRecordBytes = 4 + 1 + 12;
}

ResourceLibrary::ResourceLibrary(DataSource* source)
    : source(source), resources(0), byName(0), valid(false) {
    valid = ReadIndex() && SortNames();
    // Nothing of a damaged index is trusted: every lookup then misses.
    if (!valid) ReleaseNames();
}

ResourceLibrary::~ResourceLibrary() { ReleaseNames(); }

void ResourceLibrary::ReleaseNames() {
    for (Resource& r : resources) delete[] r.name;
    resources.Clear();
    byName.Clear();
}

bool ResourceLibrary::SortNames() {
    unsigned int count = resources.Size();
    if (!byName.Reserve(count)) {
        printf("ResourceLibrary::ResourceLibrary(): out of memory for %u entries\n", count);
        return false;
    }
    for (unsigned int i = 0; i < count; ++i) byName.Add(i);
    const Resource* r = resources.Data();
    std::stable_sort(byName.begin(), byName.end(), [r](unsigned int a, unsigned int b) {
        return strcmp(r[a].name, r[b].name) < 0;
    });
    return true;
}

bool ResourceLibrary::ReadIndex() {
    if (!source) return false;
    const unsigned int length = source->GetLength();
    source->SetPosition(0);
    if (length < 4) {
        printf("ResourceLibrary::ResourceLibrary(): archive too short (%u bytes)\n", length);
        return false;
    }
    const unsigned int count = unsigned(source->Read32());
    if (count > source->GetRemaining() / kMinRecordBytes) {
        printf("ResourceLibrary::ResourceLibrary(): %u entries cannot fit in %u bytes\n", count, length);
        return false;
    }
    if (!resources.Reserve(count)) {
        printf("ResourceLibrary::ResourceLibrary(): out of memory for %u entries\n", count);
        return false;
    }
    for (unsigned int i = 0; i < count; ++i) {
        unsigned int remaining = source->GetRemaining();
        if (remaining < kMinRecordBytes) {
            printf("ResourceLibrary::ResourceLibrary(): entry %u: index runs past the end of the archive\n", i);
            return false;
        }
        Resource r;
        unsigned int nameLength = unsigned(source->Read32());
        // The three fields after the name must still fit.
        if (nameLength > remaining - 4 - 12) {
            printf("ResourceLibrary::ResourceLibrary(): entry %u: name runs past the end of the archive\n", i);
            return false;
        }
        // Lookups compare with strcmp, which must stop inside the stored bytes.
        if (nameLength == 0) {
            printf("ResourceLibrary::ResourceLibrary(): entry %u: name is not zero-terminated\n", i);
            return false;
        }
        r.name = new char[nameLength];
        if (!source->Read(r.name, nameLength)) {
            // The file changed under us; the source has said how.
            delete[] r.name;
            return false;
        }
        if (r.name[nameLength - 1] != 0) {
            printf("ResourceLibrary::ResourceLibrary(): entry %u: name is not zero-terminated\n", i);
            delete[] r.name;
            return false;
        }
        r.offset = unsigned(source->Read32());
        r.compressedSize = unsigned(source->Read32());
        r.size = unsigned(source->Read32());
        // Appended now so that the name is released on every path below.
        resources.Add(r);
        if (r.offset > length || r.compressedSize > length - r.offset) {
            printf("ResourceLibrary::ResourceLibrary(): entry %u: data lies beyond the end of the archive\n", i);
            return false;
        }
        if (r.size / kMaxInflateRatio > r.compressedSize) {
            printf("ResourceLibrary::ResourceLibrary(): entry %u: size %u is impossible for %u compressed bytes\n",
                   i, r.size, r.compressedSize);
            return false;
        }
    }
    return true;
}

DataSource* ResourceLibrary::GetResource(const char* name) {
    if (!name) return nullptr;
    const Resource* r = resources.Data();
    const unsigned int* at = std::lower_bound(
        byName.begin(), byName.end(), name,
        [r](unsigned int i, const char* key) { return strcmp(r[i].name, key) < 0; });
    if (at == byName.end() || strcmp(r[*at].name, name) != 0) return nullptr;
    return GetDecompressed(&resources[*at]);
}

DataSource* ResourceLibrary::GetDecompressed(Resource* entry) {
    if (!entry || !source) return nullptr;
    // One spare byte each, so that empty entries still get real blocks.
    unsigned char* stored = static_cast<unsigned char*>(malloc(size_t(entry->compressedSize) + 1));
    unsigned char* result = static_cast<unsigned char*>(malloc(size_t(entry->size) + 1));
    if (!stored || !result) {
        printf("ResourceLibrary::GetDecompressed(): out of memory for %u bytes\n", entry->size);
        free(stored);
        free(result);
        return nullptr;
    }
    source->SetPosition(entry->offset);
    // The source reports a short read itself; inflating the unread rest of
    // the buffer would hand out garbage, so the entry is refused.
    if (!source->Read(stored, entry->compressedSize)) {
        free(stored);
        free(result);
        return nullptr;
    }

    z_stream stream;
    memset(&stream, 0, sizeof stream);
    int code = inflateInit(&stream);
    if (code != Z_OK) {
        printf("ResourceLibrary::GetCompressed(): can't initialize zlib stream: %d\n", code);
        free(stored);
        free(result);
        return nullptr;
    }
    stream.next_in = stored;
    stream.avail_in = entry->compressedSize;
    stream.next_out = result;
    stream.avail_out = entry->size;
    code = inflate(&stream, Z_NO_FLUSH);
    if (code == Z_NEED_DICT || code == Z_DATA_ERROR || code == Z_MEM_ERROR) {
        inflateEnd(&stream);
        printf("ResourceLibrary::GetDecompressed(): decompression failed: %d\n", code);
        free(stored);
        free(result);
        return nullptr;
    }
    // A stream that ended early still counts; the part it did not fill is
    // zeroed rather than left as whatever malloc returned.
    unsigned int produced = entry->size - stream.avail_out;
    if (produced < entry->size) memset(result + produced, 0, entry->size - produced);
    inflateEnd(&stream);
    free(stored);
    return new ROMSource(result, entry->size, true);
}
