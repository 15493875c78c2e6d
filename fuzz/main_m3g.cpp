// libFuzzer program for the M3G scene loader and its conversion.
#include "fuzz/FuzzTargets.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return FuzzM3G(data, size); }
