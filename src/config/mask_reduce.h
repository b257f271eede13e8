// Reduction of a mask image to at most the size of the output it is drawn
// over, fed one row at a time: each output texel is the exact area average
// (box filter) of the source texels it covers, computed in integers. Only two
// rows of sums are kept besides the result, so a large image can be reduced
// as it is decoded.
#pragma once

#include <cstdint>
#include <vector>

namespace calib {

class AreaReducer {
public:
    // Reduces sourceWidth x sourceHeight to targetWidth x targetHeight, each
    // at least 1 and at most the source's. `channels` is 1 (grey) or 4 (RGBA).
    AreaReducer(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight, int channels);

    // The next source row (top row first) of `sourceChannels` components a
    // pixel: 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA. A grey target takes the
    // first component; an RGBA target repeats grey and takes an absent alpha
    // as 255.
    void addRow(const uint8_t* row, int sourceChannels);

    // The reduced pixels, rows top to bottom; complete once every source row
    // has been added.
    std::vector<uint8_t>& pixels() { return pixels_; }

private:
    void flushRow();

    int sourceWidth_, sourceHeight_, targetWidth_, targetHeight_, channels_;
    // Per source column: the target column it starts in and how much of its
    // width (in units of 1/targetWidth) falls there; the rest falls in the next.
    std::vector<uint32_t> firstColumn_;
    std::vector<uint32_t> firstWeight_;
    std::vector<uint32_t> rowSums_;   // one source row summed into target columns
    std::vector<uint64_t> current_;   // target row being filled
    std::vector<uint64_t> next_;      // the row after it
    int sourceRow_ = 0;
    int targetRow_ = 0;
    std::vector<uint8_t> pixels_;
};

}  // namespace calib
