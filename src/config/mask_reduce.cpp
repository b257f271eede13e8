#include "config/mask_reduce.h"

#include <algorithm>

namespace calib {
namespace {

// Component k (0..3) of an RGBA target from a source pixel of n components.
uint8_t component(const uint8_t* pixel, int n, int k)
{
    if (k < 3)
        return n >= 3 ? pixel[k] : pixel[0];
    return n == 4 ? pixel[3] : n == 2 ? pixel[1] : 255;
}

}  // namespace

// Source column i covers [i * tw, (i + 1) * tw) and target column x covers
// [x * sw, (x + 1) * sw) on a common axis of sw * tw units; since tw <= sw a
// source column overlaps one target column or two neighbours. Rows likewise.
AreaReducer::AreaReducer(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight,
                         int channels)
    : sourceWidth_(sourceWidth), sourceHeight_(sourceHeight), targetWidth_(targetWidth),
      targetHeight_(targetHeight), channels_(channels), firstColumn_(size_t(sourceWidth)),
      firstWeight_(size_t(sourceWidth)), rowSums_(size_t(targetWidth) * size_t(channels)),
      current_(rowSums_.size()), next_(rowSums_.size()),
      pixels_(size_t(targetWidth) * size_t(targetHeight) * size_t(channels))
{
    for (int i = 0; i < sourceWidth; ++i) {
        const uint64_t left = uint64_t(i) * uint64_t(targetWidth);
        const uint64_t column = left / uint64_t(sourceWidth);
        const uint64_t boundary = (column + 1) * uint64_t(sourceWidth);
        firstColumn_[size_t(i)] = uint32_t(column);
        firstWeight_[size_t(i)] = uint32_t(std::min<uint64_t>(boundary - left, uint64_t(targetWidth)));
    }
}

void AreaReducer::addRow(const uint8_t* row, int sourceChannels)
{
    if (sourceRow_ >= sourceHeight_)
        return;
    std::fill(rowSums_.begin(), rowSums_.end(), 0u);
    const size_t channels = size_t(channels_);
    for (int i = 0; i < sourceWidth_; ++i) {
        const uint8_t* pixel = row + size_t(i) * size_t(sourceChannels);
        const size_t column = firstColumn_[size_t(i)];
        const uint32_t first = firstWeight_[size_t(i)];
        const uint32_t rest = uint32_t(targetWidth_) - first;
        for (size_t k = 0; k < channels; ++k) {
            const uint32_t value = channels == 1 ? pixel[0] : component(pixel, sourceChannels, int(k));
            rowSums_[column * channels + k] += first * value;
            if (rest)
                rowSums_[(column + 1) * channels + k] += rest * value;
        }
    }

    const uint64_t top = uint64_t(sourceRow_) * uint64_t(targetHeight_);
    const uint64_t boundary = uint64_t(targetRow_ + 1) * uint64_t(sourceHeight_);
    const uint64_t first = std::min<uint64_t>(boundary - top, uint64_t(targetHeight_));
    const uint64_t rest = uint64_t(targetHeight_) - first;
    for (size_t j = 0; j < rowSums_.size(); ++j) {
        current_[j] += first * rowSums_[j];
        next_[j] += rest * rowSums_[j];
    }
    ++sourceRow_;
    if (top + uint64_t(targetHeight_) >= boundary)
        flushRow();
}

// Writes the finished target row, rounded to the nearest byte, and starts the next.
void AreaReducer::flushRow()
{
    if (targetRow_ >= targetHeight_)
        return;
    const uint64_t area = uint64_t(sourceWidth_) * uint64_t(sourceHeight_);
    uint8_t* out = pixels_.data() + size_t(targetRow_) * current_.size();
    for (size_t j = 0; j < current_.size(); ++j)
        out[j] = uint8_t((current_[j] + area / 2) / area);
    current_.swap(next_);
    std::fill(next_.begin(), next_.end(), 0u);
    ++targetRow_;
}

}  // namespace calib
