// libFuzzer program for the script entry and the script API.
#include "fuzz/FuzzTargets.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return FuzzScript(data, size); }
