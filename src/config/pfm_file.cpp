#include "config/pfm_file.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "config/c_locale_number.h"
#include "config/mesh_arrays.h"
#include "core/messages.h"

namespace calib {
namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads the white space that ends a token and, with `more`, any that follows.
bool skipSpace(const char* bytes, size_t end, size_t& at, bool more)
{
    if (at >= end || !isSpace(bytes[at]))
        return false;
    ++at;
    while (more && at < end && isSpace(bytes[at]))
        ++at;
    return true;
}

// At most nine decimal digits, at least one.
bool readSize(const char* bytes, size_t end, size_t& at, uint32_t& value)
{
    value = 0;
    size_t digits = 0;
    while (at < end && bytes[at] >= '0' && bytes[at] <= '9') {
        if (++digits > 9)
            return false;
        value = value * 10 + uint32_t(bytes[at++] - '0');
    }
    return digits > 0;
}

struct FdCloser {
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

}  // namespace

bool hasPfmMagic(const char* bytes, size_t size)
{
    return size >= 3 && bytes[0] == 'P' && (bytes[1] == 'F' || bytes[1] == 'f') && isSpace(bytes[2]);
}

bool isPfmFile(const char* path)
{
    // Only regular files are sniffed: opening a pipe to look would take a
    // reader away from its writer before the text loader opens it.
    struct stat status;
    if (::stat(path, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    FdCloser file{::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    char magic[3];
    return ::pread(file.fd, magic, sizeof magic, 0) == ssize_t(sizeof magic) &&
           hasPfmMagic(magic, sizeof magic);
}

bool parsePfmHeader(const char* bytes, size_t fileSize, PfmHeader& header, const char*& problem)
{
    const size_t end = fileSize < kMaxPfmHeader ? fileSize : kMaxPfmHeader;
    problem = "not a PFM header (PF or Pf, width, height, scale)";
    if (!hasPfmMagic(bytes, end))
        return false;
    PfmHeader read;
    read.channels = bytes[1] == 'F' ? 3 : 1;
    size_t at = 2;
    if (!skipSpace(bytes, end, at, true) || !readSize(bytes, end, at, read.width) ||
        !skipSpace(bytes, end, at, true) || !readSize(bytes, end, at, read.height) ||
        !skipSpace(bytes, end, at, true))
        return false;
    // The scale: a decimal number of bounded length, then one white space byte.
    char scaleText[32];
    size_t length = 0;
    while (at + length < end && !isSpace(bytes[at + length]) && length + 1 < sizeof scaleText) {
        scaleText[length] = bytes[at + length];
        ++length;
    }
    scaleText[length] = '\0';
    at += length;
    char* scaleEnd = nullptr;
    const double scale = kzStrtodC(scaleText, &scaleEnd);
    if (length == 0 || scaleEnd != scaleText + length || !std::isfinite(scale) || scale == 0.0 ||
        !skipSpace(bytes, end, at, false))
        return false;
    read.littleEndian = scale < 0.0;
    read.dataOffset = at;

    if (read.width == 0 || read.height == 0) {
        problem = "the map has no samples";
        return false;
    }
    const uint64_t points = uint64_t(read.width) * read.height;
    if (points > UINT32_MAX) {
        problem = "more than 2^32 samples";
        return false;
    }
    if (points * read.channels * 4 > fileSize - read.dataOffset) {
        problem = "the file is shorter than its header says";
        return false;
    }
    header = read;
    return true;
}

PfmFile::~PfmFile()
{
    if (mapping_)
        ::munmap(mapping_, size_);
}

kzResult PfmFile::open(const char* path)
{
    if (!path)
        return KZ_ERROR_INVALID_ARGUMENT;
    FdCloser file{::open(path, O_RDONLY | O_CLOEXEC)};
    struct stat status;
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode))
        return KZ_ERROR_FILE;
    size_ = size_t(status.st_size);
    if (size_ == 0) {
        kzLogMessage(KZ_MESSAGE_ERROR, "PFM file %s is empty", path);
        return KZ_ERROR_INVALID_DATA;
    }
    // Populated up front: the samples are read once, in order, right away.
    mapping_ = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file.fd, 0);
    if (mapping_ == MAP_FAILED) {
        mapping_ = nullptr;
        return KZ_ERROR_FILE;
    }
    const char* problem = nullptr;
    if (!parsePfmHeader(static_cast<const char*>(mapping_), size_, header_, problem)) {
        kzLogMessage(KZ_MESSAGE_ERROR, "PFM file %s: %s", path, problem);
        return KZ_ERROR_INVALID_DATA;
    }
    data_ = static_cast<const unsigned char*>(mapping_) + header_.dataOffset;
    return KZ_OK;
}

kzResult loadPfmWarpmap(const char* path, kzMesh& mesh, PfmRows rows, bool flipVerticesY,
                        bool flipTexcoordsV)
{
    PfmFile file;
    if (kzResult opened = file.open(path); opened != KZ_OK)
        return opened;
    const PfmHeader& header = file.header();
    if (header.channels != 3) {
        kzLogMessage(KZ_MESSAGE_ERROR,
                     "PFM file %s has one channel; a warp map needs two (R = u, G = v)", path);
        return KZ_ERROR_INVALID_DATA;
    }
    const uint32_t width = header.width;
    const uint32_t height = header.height;
    const size_t count = size_t(width) * height;
    GrowingArray<kzVec3f> vertices;
    GrowingArray<kzVec2f> texcoords;
    if (!vertices.reserve(count) || !texcoords.reserve(count))
        return KZ_ERROR_INVALID_DATA;

    for (uint32_t row = 0; row < height; ++row) {
        const uint32_t fileRow = rows == PfmRows::TopFirst ? row : height - 1 - row;
        float y = height > 1 ? float(row) / float(height - 1) : 0.0f;
        if (flipVerticesY)
            y = 1.0f - y;
        const size_t first = size_t(fileRow) * width;
        for (uint32_t column = 0; column < width; ++column) {
            const float x = width > 1 ? float(column) / float(width - 1) : 0.0f;
            float v = file.sample(first + column, 1);
            if (flipTexcoordsV)
                v = 1.0f - v;
            vertices.push({x, y, 0.0f});
            texcoords.push({file.sample(first + column, 0), v});
        }
    }

    kzMesh loaded;
    loaded.vertices = vertices.release();
    loaded.texcoords = texcoords.release();
    loaded.normals = static_cast<kzVec3f*>(std::calloc(count, sizeof(kzVec3f)));
    loaded.tangents = static_cast<kzVec3f*>(std::calloc(count, sizeof(kzVec3f)));
    if (!loaded.vertices || !loaded.texcoords || !loaded.normals || !loaded.tangents)
        return KZ_ERROR_INVALID_DATA;
    loaded.width = width;
    loaded.height = height;
    mesh = std::move(loaded);
    return KZ_OK;
}

bool writePfm(const char* path, uint32_t width, uint32_t height, const float* samples)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "wb"), &std::fclose);
    if (!file)
        return false;
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "samples are written as stored");
    const size_t count = size_t(width) * height * 3;
    return std::fprintf(file.get(), "PF\n%u %u\n-1.0\n", width, height) > 0 &&
           std::fwrite(samples, sizeof(float), count, file.get()) == count &&
           std::fclose(file.release()) == 0;
}

}  // namespace calib
