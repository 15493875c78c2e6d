// The resource archive: an index of named entries, each one zlib stream,
// inflated on request into memory sources.
#pragma once

#include "math/Types.h"

class DataSource;

class ResourceLibrary {
public:
    struct Resource {
        char* name;  // zero-terminated, owned by the library
        unsigned int offset;
        unsigned int compressedSize;
        unsigned int size;
    };

    // Reads the index once. A damaged index is reported, leaves the library
    // empty and IsValid() false. The source is not owned.
    explicit ResourceLibrary(DataSource* source);
    ~ResourceLibrary();
    ResourceLibrary(const ResourceLibrary&) = delete;
    ResourceLibrary& operator=(const ResourceLibrary&) = delete;

    // The first entry named exactly name, inflated; null when there is none.
    DataSource* GetResource(const char* name);
    // A fresh source owning the inflated bytes; null on corrupt data.
    DataSource* GetDecompressed(Resource* entry);

    bool IsValid() const { return valid; }
    unsigned int GetResourceCount() const { return resources.Size(); }
    Resource* GetResourceAt(unsigned int i) { return &resources[i]; }

    // Deflate cannot expand by more than about 1032:1; an index that claims
    // more is damaged and is not allowed to size an allocation.
    static const unsigned int kMaxInflateRatio = 1032;

private:
    bool ReadIndex();
    // Orders byName; false when memory runs out.
    bool SortNames();
    void ReleaseNames();

    DataSource* source;
    Vector<Resource> resources;
    // Entry indices ordered by name, equal names in archive order, so that a
    // lookup is a binary search and still finds the first of equal names.
    Vector<unsigned int> byName;
    bool valid;
};
