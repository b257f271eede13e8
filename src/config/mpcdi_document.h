// The MPCDI document (mpcdi.xml), versions 1.0 to 2.0, read into plain
// records: the profile, and per region in document order its frustum and the
// files of its fileset. What this library cannot honour (the shader-lamp
// profile, distortion maps, colour look-up tables) is refused here with a
// message that names the profile or element.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mpcdi {

constexpr size_t kMaxRegions = 1024;

enum class Profile { TwoD, ThreeD, Advanced3D };

// Yaw, pitch and roll of the region's projection, then the angles of its
// four edges from the view axis (right and up positive), all in degrees.
struct Frustum {
    bool present = false;
    double yaw = 0, pitch = 0, roll = 0;
    double rightAngle = 0, leftAngle = 0, upAngle = 0, downAngle = 0;
};

struct MapFile {
    std::string path;  // empty: no such file
    int componentDepth = 1;
    int bitDepth = 8;
    double gammaEmbedded = 0;  // 0: not given
};

struct Region {
    std::string id;
    uint32_t xResolution = 0;
    uint32_t yResolution = 0;
    Frustum frustum;
    MapFile warp;
    std::string geometricUnit;  // of an a3 warp's screen points
    MapFile alpha;
    MapFile beta;
    // This library's own extension: the channel's input and output gamma (0: not given).
    double inputGamma = 0;
    double outputGamma = 0;
};

struct Document {
    Profile profile = Profile::TwoD;
    std::string version;
    std::vector<Region> regions;
};

// Parses and checks the document; false with the reason in `problem`.
bool parseDocument(const std::string& text, Document& document, std::string& problem);

const char* profileName(Profile profile);

}  // namespace mpcdi
