// Synthetic MPCDI calibrations for tests: the mpcdi.xml text of a profile's
// regions, 16-bit and grey PNG maps, and the ZIP archive holding them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dovav::test {

struct MpcdiFrustum {
    double yaw = 0, pitch = 0, roll = 0;
    double rightAngle = 30, leftAngle = -30, upAngle = 20, downAngle = -20;
};

// A map element of a fileset: alphaMap, betaMap or geometryWarpFile.
struct MpcdiMap {
    std::string path;  // empty: the element is left out
    int componentDepth = 1;
    int bitDepth = 8;
    std::optional<double> gammaEmbedded;
};

struct MpcdiRegion {
    std::string id;
    std::optional<MpcdiFrustum> frustum;
    MpcdiMap warp;
    std::string geometricUnit;
    MpcdiMap alpha;
    MpcdiMap beta;
    std::string extra;  // more XML inside the fileset
};

// The document: one buffer holding the regions, a fileset per region.
std::string mpcdiDocument(const std::string& profile, const std::string& version,
                          const std::vector<MpcdiRegion>& regions);

// A PNG of `components` (1 or 3) samples of `bits` (8 or 16) per pixel,
// rows top to bottom, from sample(column, row, component) in [0, 1].
std::string pngSamples(int width, int height, int components, int bits,
                       double (*sample)(int column, int row, int component));

// Writes a ZIP archive at `path` with the given members (name -> bytes).
void writeZip(const std::string& path, const std::map<std::string, std::string>& members);

}  // namespace dovav::test
