#include "fuzz/FuzzTargets.h"

#include "io/DataSource.h"
#include "io/ROMSource.h"
#include "io/ResourceLibrary.h"

#include <climits>

int FuzzArchive(const unsigned char* data, size_t size) {
    if (size > UINT_MAX) return 0;
    ROMSource source(data, (unsigned int)size, false);
    ResourceLibrary library(&source);
    for (unsigned int i = 0; i < library.GetResourceCount(); ++i) {
        DataSource* entry = library.GetDecompressed(library.GetResourceAt(i));
        if (entry) {
            // Touch the whole block so a short one shows up under the sanitizers.
            unsigned int sum = 0, n = entry->GetLength();
            const unsigned char* bytes = entry->Read(n);
            for (unsigned int k = 0; bytes && k < n; ++k) sum += bytes[k];
            (void)sum;
            delete entry;
        }
    }
    delete library.GetResource("scripts/init.lua");
    return 0;
}
