// Line-by-line access to a calibration text file, read in large blocks into
// one reusable buffer: no stream, no per-line allocation. Lines are handed
// out without their line feed, and without a carriage return before it.
#pragma once

#include <cstddef>
#include <memory>

#include "kzLib/types.h"

namespace calib {

// A line of text. The byte at `end` can be read and is never a digit or a
// '.' (it is the line feed, the carriage return or a NUL after the last
// line), so number scanners may look one byte past a field without checks.
struct Line {
    const char* begin;
    const char* end;
};

class LineReader {
public:
    LineReader() = default;
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    ~LineReader();

    // KZ_ERROR_INVALID_ARGUMENT for a null path, KZ_ERROR_FILE if the path
    // is not a regular file or a pipe that can be opened for reading.
    kzResult open(const char* path);

    // Size of the file when it is a regular file, else 0 (a pipe, say).
    size_t fileSize() const { return size_; }

    // The next line, valid until the following call. False at the end of the
    // file or on a read error (see failed()). A last line without a line feed
    // counts; an empty file has no line.
    bool next(Line& line);

    // Passes over the next line without keeping it, however long it is.
    bool skip();

    bool failed() const { return failed_; }

private:
    bool fill();
    bool findLineEnd(const char*& lineFeed);

    int fd_ = -1;
    size_t size_ = 0;
    std::unique_ptr<char[]> buffer_;
    size_t capacity_ = 0;  // bytes of text the buffer holds, plus one for a NUL
    size_t begin_ = 0;  // first unread byte
    size_t end_ = 0;    // end of the bytes read so far
    bool eof_ = false;
    bool failed_ = false;
};

// True if the line holds nothing but white space (or nothing at all).
inline bool isBlank(Line line)
{
    for (const char* c = line.begin; c != line.end; ++c) {
        if (*c != ' ' && *c != '\t' && *c != '\r' && *c != '\v' && *c != '\f')
            return false;
    }
    return true;
}

}  // namespace calib
