// Line-by-line access to a calibration text file, read in large blocks into
// one fixed buffer: no stream, no per-line allocation. Lines are handed out
// without their line feed, and without a carriage return before it.
#pragma once

#include <cstddef>
#include <ctime>
#include <memory>

#include "kzLib/types.h"

namespace calib {

// Longest line a calibration file may have, line feed included. Real lines
// hold a few dozen numbers; a longer one is refused instead of buffered.
constexpr size_t kMaxLineBytes = size_t(64) << 10;

// A line of text. The byte at `end` can be read and is never a digit or a
// '.' (it is the line feed, the carriage return or a NUL after the last
// line), so number scanners may look one byte past a field without checks.
struct Line {
    const char* begin;
    const char* end;
};

// Why reading stopped before the end of the file.
enum class LineError {
    none,
    readFailed,  // the system refused a read
    tooLong,     // a line longer than kMaxLineBytes
    changed,     // the file's size or modification time moved while it was read
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
    // file or on an error (see error()). A last line without a line feed
    // counts; an empty file has no line.
    bool next(Line& line);

    // Number of the line next() handed out last, counting from 1.
    size_t lineNumber() const { return lineNumber_; }

    // Checks a regular file against what it was when opened: same size and
    // modification time and, once it has been read to its end, that many
    // bytes read. False (error() then says changed) if not.
    bool unchanged();

    LineError error() const { return error_; }

private:
    bool fill();
    bool findLineEnd(const char*& lineFeed);

    int fd_ = -1;
    size_t size_ = 0;
    bool regular_ = false;
    timespec modified_{};
    size_t bytesRead_ = 0;
    std::unique_ptr<char[]> buffer_;
    size_t capacity_ = 0;  // bytes of text the buffer holds, plus one for a NUL
    size_t begin_ = 0;  // first unread byte
    size_t end_ = 0;    // end of the bytes read so far
    size_t lineNumber_ = 0;
    bool eof_ = false;
    LineError error_ = LineError::none;
};

// Logs why the reader stopped, naming the file as "`what` `path`", and
// returns its result code: KZ_ERROR_FILE for a failed read or a file that
// changed, KZ_ERROR_INVALID_DATA for an overlong line, KZ_OK for no error.
kzResult reportLineError(const LineReader& reader, const char* what, const char* path);

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
