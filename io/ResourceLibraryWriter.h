// Builds resource archives: entries are deflated as they are added and the
// whole archive is written at once.
#pragma once

#include <string>
#include <vector>

class ResourceLibraryWriter {
public:
    // Deflates size bytes under name (no zero bytes in it). False, with a
    // message, when the entry would not fit the archive's 32-bit offsets.
    bool Add(const std::string& name, const unsigned char* data, size_t size);
    // Count, index, then the entries' data in the order they were added.
    bool Write(const std::string& path) const;
    // The archive as it would be written; empty when it cannot be laid out.
    std::vector<unsigned char> Build() const;

    size_t GetCount() const { return entries.size(); }

private:
    struct Entry {
        std::string name;
        unsigned int size;
        std::vector<unsigned char> stored;
    };
    std::vector<Entry> entries;
};
