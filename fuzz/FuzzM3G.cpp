#include "fuzz/FuzzTargets.h"

#include "engine/Scene.h"
#include "io/ROMSource.h"
#include "m3g/M3GLoader.h"

#include <climits>

int FuzzM3G(const unsigned char* data, size_t size) {
    if (size > UINT_MAX) return 0;
    ROMSource source(data, (unsigned int)size, false);
    delete M3GLoader::Load(&source);
    return 0;
}
