#include "config/text_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/messages.h"

namespace calib {
namespace {

// Large enough that a block costs one system call per megabyte, small enough
// to stay in the second-level cache while it is parsed.
constexpr size_t kBlockSize = size_t(1) << 20;
constexpr size_t kMinimumBlock = 4096;
static_assert(kBlockSize > kMaxLineBytes, "a full block always holds a whole line");

bool sameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

LineReader::~LineReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

kzResult LineReader::open(const char* path)
{
    if (!path)
        return KZ_ERROR_INVALID_ARGUMENT;
    fd_ = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return KZ_ERROR_FILE;
    // Regular files and pipes only: a directory cannot be read, and a device
    // such as /dev/zero would feed one endless line.
    struct stat status;
    if (::fstat(fd_, &status) != 0 || !(S_ISREG(status.st_mode) || S_ISFIFO(status.st_mode)))
        return KZ_ERROR_FILE;
    regular_ = S_ISREG(status.st_mode);
    size_ = regular_ ? size_t(status.st_size) : 0;
    modified_ = status.st_mtim;
    // A file smaller than a block is read whole; the buffer grows (up to the
    // longest line) only if the file grows while it is read.
    capacity_ = regular_ ? std::clamp(size_ + 1, kMinimumBlock, kBlockSize) : kBlockSize;
    buffer_.reset(new char[capacity_ + 1]);
    buffer_[0] = '\0';
    return KZ_OK;
}

// Moves the unread tail to the front (growing the buffer when a line fills
// it and may still be short enough) and reads the next block. False at the
// end of the file or on an error.
bool LineReader::fill()
{
    if (eof_ || error_ != LineError::none || !buffer_)
        return false;
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == capacity_) {
        if (capacity_ > kMaxLineBytes) {
            error_ = LineError::tooLong;
            return false;
        }
        const size_t grown = std::min(capacity_ * 2, kMaxLineBytes + 1);
        std::unique_ptr<char[]> bigger(new char[grown + 1]);
        std::memcpy(bigger.get(), buffer_.get(), end_);
        buffer_ = std::move(bigger);
        capacity_ = grown;
    }
    buffer_[end_] = '\0';
    for (;;) {
        ssize_t count = ::read(fd_, buffer_.get() + end_, capacity_ - end_);
        if (count > 0) {
            end_ += size_t(count);
            bytesRead_ += size_t(count);
            buffer_[end_] = '\0';
            return true;
        }
        if (count == 0) {
            eof_ = true;
            return false;
        }
        if (errno != EINTR) {
            error_ = LineError::readFailed;
            return false;
        }
    }
}

// Points lineFeed at the next line feed, or at null for a last line without
// one. False when no bytes are left or on an error.
bool LineReader::findLineEnd(const char*& lineFeed)
{
    size_t searched = begin_;
    for (;;) {
        const char* data = buffer_.get();
        lineFeed = static_cast<const char*>(std::memchr(data + searched, '\n', end_ - searched));
        if (lineFeed)
            return true;
        if (end_ - begin_ > kMaxLineBytes) {
            error_ = LineError::tooLong;
            return false;
        }
        searched = end_ - begin_;  // bytes already searched, after fill() moves them to the front
        if (!fill()) {
            lineFeed = nullptr;
            return error_ == LineError::none && begin_ < end_;
        }
    }
}

bool LineReader::next(Line& line)
{
    const char* lineFeed = nullptr;
    const bool found = buffer_ && findLineEnd(lineFeed);
    if (found || error_ == LineError::tooLong)
        ++lineNumber_;  // a refused line is named by its number
    if (!found)
        return false;
    const char* data = buffer_.get();
    line.begin = data + begin_;
    line.end = lineFeed ? lineFeed : data + end_;
    if (size_t(line.end - line.begin) >= kMaxLineBytes) {
        error_ = LineError::tooLong;
        return false;
    }
    begin_ = lineFeed ? size_t(lineFeed - data) + 1 : end_;
    if (line.end > line.begin && line.end[-1] == '\r')
        --line.end;
    return true;
}

bool LineReader::unchanged()
{
    if (error_ == LineError::changed)
        return false;
    if (!regular_ || fd_ < 0)
        return true;
    struct stat status;
    const bool same = ::fstat(fd_, &status) == 0 && size_t(status.st_size) == size_ &&
                      sameTime(status.st_mtim, modified_) && (!eof_ || bytesRead_ == size_);
    if (!same)
        error_ = LineError::changed;
    return same;
}

kzResult reportLineError(const LineReader& reader, const char* what, const char* path)
{
    switch (reader.error()) {
    case LineError::none:
        return KZ_OK;
    case LineError::readFailed:
        kzLogMessage(KZ_MESSAGE_ERROR, "%s %s: reading failed after line %zu", what, path,
                     reader.lineNumber());
        return KZ_ERROR_FILE;
    case LineError::tooLong:
        kzLogMessage(KZ_MESSAGE_ERROR, "%s %s: line %zu is longer than %zu bytes", what, path,
                     reader.lineNumber(), kMaxLineBytes);
        return KZ_ERROR_INVALID_DATA;
    case LineError::changed:
        kzLogMessage(KZ_MESSAGE_ERROR,
                     "%s %s changed while being read (its size or modification time moved)",
                     what, path);
        return KZ_ERROR_FILE;
    }
    return KZ_ERROR_FILE;
}

}  // namespace calib
