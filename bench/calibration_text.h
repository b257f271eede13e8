// Generated calibration files for the benchmarks, written once per process
// into a scratch folder that is removed at exit.
#pragma once

#include <string>

namespace dovav::bench {

// A width x height warp map with six-decimal fields, as calibration tools write them.
const std::string& warpmapFile(unsigned width, unsigned height);

// A width x height screen shape with normals and tangents (13 fields a line).
const std::string& screenShapeFile(unsigned width, unsigned height);

// A width x height little-endian PFM warp map (R, G the lookup, B zero).
const std::string& pfmWarpmapFile(unsigned width, unsigned height);

size_t fileSize(const std::string& path);

}  // namespace dovav::bench
