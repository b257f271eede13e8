// Portable Float Maps: "PF" (three channels) or "Pf" (one channel), the
// width, the height and a scale whose sign gives the byte order (negative:
// little-endian), each followed by white space, then the float32 samples row
// by row. Every number in the header is untrusted: the header is bounded and
// the samples must fit in the file before anything is allocated for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kzLib/types.h"

namespace calib {

// Longest header read; a longer one is refused.
constexpr size_t kMaxPfmHeader = 128;

struct PfmHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t channels = 0;     // 3 for "PF", 1 for "Pf"
    bool littleEndian = true;
    size_t dataOffset = 0;     // first sample byte
};

// True if the bytes begin with "PF" or "Pf" and white space.
bool hasPfmMagic(const char* bytes, size_t size);

// True if the regular file at path begins like a PFM file.
bool isPfmFile(const char* path);

// Reads the header from the first bytes of a file of `fileSize` bytes; false
// with a reason if it is malformed or its samples do not fit in the file.
bool parsePfmHeader(const char* bytes, size_t fileSize, PfmHeader& header, const char*& problem);

// A PFM file mapped read-only, its header checked.
class PfmFile {
public:
    PfmFile() = default;
    PfmFile(const PfmFile&) = delete;
    PfmFile& operator=(const PfmFile&) = delete;
    ~PfmFile();

    // KZ_ERROR_FILE if the file cannot be opened or mapped, KZ_ERROR_INVALID_DATA
    // (with a message through kzLogMessage) if it is not a well-formed PFM.
    kzResult open(const char* path);

    const PfmHeader& header() const { return header_; }

    // Channel k of the sample at `index` (row-major in file order).
    float sample(size_t index, uint32_t k) const
    {
        uint32_t bits;
        std::memcpy(&bits, data_ + (index * header_.channels + k) * 4, 4);
        if (!header_.littleEndian)
            bits = __builtin_bswap32(bits);
        float value;
        std::memcpy(&value, &bits, 4);
        return value;
    }

private:
    void* mapping_ = nullptr;
    size_t size_ = 0;
    const unsigned char* data_ = nullptr;
    PfmHeader header_;
};

// Which output row a PFM warp map's first stored row is. The library's own
// convention (and MPCDI's) counts rows from the top; the PFM format's own
// convention stores the bottom row first.
enum class PfmRows { TopFirst, BottomFirst };

// Reads a three-channel PFM warp map into a mesh: grid point (column, row)
// at (column / (width - 1), row / (height - 1)), texture coordinate (R, G),
// B ignored; NaN samples stay NaN (invalid points). The flips are those of
// kzLoadWarpmapFromFile. On failure the mesh is unchanged.
kzResult loadPfmWarpmap(const char* path, kzMesh& mesh, PfmRows rows, bool flipVerticesY,
                        bool flipTexcoordsV);

// Writes a width x height three-channel little-endian PFM, rows in file
// order, from samples[3 * i + k]. False if the file cannot be written.
bool writePfm(const char* path, uint32_t width, uint32_t height, const float* samples);

}  // namespace calib
