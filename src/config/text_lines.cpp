#include "config/text_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace calib {
namespace {

// Large enough that a block costs one system call per megabyte, small enough
// to stay in the second-level cache while it is parsed.
constexpr size_t kBlockSize = size_t(1) << 20;
constexpr size_t kMinimumBlock = 4096;

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
    size_ = S_ISREG(status.st_mode) ? size_t(status.st_size) : 0;
    capacity_ = std::clamp(size_ + 1, kMinimumBlock, kBlockSize);
    buffer_.reset(new char[capacity_ + 1]);
    buffer_[0] = '\0';
    return KZ_OK;
}

// Moves the unread tail to the front (growing the buffer when a single line
// fills it) and reads the next block. False at the end of the file.
bool LineReader::fill()
{
    if (eof_ || failed_ || !buffer_)
        return false;
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == capacity_) {
        size_t grown = capacity_ * 2;
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
            buffer_[end_] = '\0';
            return true;
        }
        if (count == 0) {
            eof_ = true;
            return false;
        }
        if (errno != EINTR) {
            failed_ = true;
            return false;
        }
    }
}

// Points lineFeed at the next line feed, or at null for a last line without
// one. False when no bytes are left.
bool LineReader::findLineEnd(const char*& lineFeed)
{
    size_t searched = begin_;
    for (;;) {
        const char* data = buffer_.get();
        lineFeed = static_cast<const char*>(std::memchr(data + searched, '\n', end_ - searched));
        if (lineFeed)
            return true;
        searched = end_ - begin_;  // bytes already searched, after fill() moves them to the front
        if (!fill()) {
            lineFeed = nullptr;
            return !failed_ && begin_ < end_;
        }
    }
}

bool LineReader::next(Line& line)
{
    const char* lineFeed = nullptr;
    if (!findLineEnd(lineFeed))
        return false;
    const char* data = buffer_.get();
    line.begin = data + begin_;
    line.end = lineFeed ? lineFeed : data + end_;
    begin_ = lineFeed ? size_t(lineFeed - data) + 1 : end_;
    if (line.end > line.begin && line.end[-1] == '\r')
        --line.end;
    return true;
}

bool LineReader::skip()
{
    bool sawBytes = false;
    for (;;) {
        if (begin_ < end_) {
            sawBytes = true;
            const char* data = buffer_.get();
            const char* lineFeed =
                static_cast<const char*>(std::memchr(data + begin_, '\n', end_ - begin_));
            if (lineFeed) {
                begin_ = size_t(lineFeed - data) + 1;
                return true;
            }
        }
        begin_ = end_ = 0;  // the skipped part is dropped, so the buffer never grows here
        if (!fill())
            return sawBytes && !failed_;
    }
}

}  // namespace calib
