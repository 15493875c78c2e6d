// Entry points shared by the libFuzzer programs and the regression test that
// replays every input kept under fuzz/regressions/.
#pragma once

#include <cstddef>

// The resource archive: the index, every entry inflated, a lookup by name.
int FuzzArchive(const unsigned char* data, size_t size);
// An M3G file loaded and converted into an engine scene.
int FuzzM3G(const unsigned char* data, size_t size);
// A script run through the script API against a demo engine with no GL.
int FuzzScript(const unsigned char* data, size_t size);
