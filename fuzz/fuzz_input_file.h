// The loaders read files, so each fuzz input is written to a scratch file
// first. One file per process, removed at exit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dovav::fuzz {

// Writes the input to the process's scratch file (named with `suffix`) and
// returns its path.
const char* writeInputFile(const uint8_t* data, size_t size, const char* suffix);

}  // namespace dovav::fuzz
