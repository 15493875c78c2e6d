// libFuzzer program for the resource archive reader.
#include "fuzz/FuzzTargets.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return FuzzArchive(data, size); }
