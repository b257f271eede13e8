#include "config/mpcdi_source.h"

#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace mpcdi {
namespace {

struct Fd {
    int fd;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool readPrefix(const char* path, char* bytes, size_t size, size_t& read)
{
    Fd file{::open(path, O_RDONLY | O_CLOEXEC)};
    struct stat status;
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    const ssize_t count = ::pread(file.fd, bytes, size, 0);
    read = count > 0 ? size_t(count) : 0;
    return true;
}

bool writeAll(int fd, const char* bytes, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written <= 0)
            return false;
        bytes += written;
        size -= size_t(written);
    }
    return true;
}

}  // namespace

bool isSafeMemberPath(const std::string& path)
{
    if (path.empty() || path.front() == '/' || path.find('\\') != std::string::npos ||
        path.find('\0') != std::string::npos)
        return false;
    size_t begin = 0;
    while (begin <= path.size()) {
        size_t end = path.find('/', begin);
        if (end == std::string::npos)
            end = path.size();
        const std::string component = path.substr(begin, end - begin);
        if (component.empty() || component == "." || component == "..")
            return false;
        begin = end + 1;
    }
    return true;
}

bool isArchiveFile(const char* path)
{
    char magic[4];
    size_t read = 0;
    return readPrefix(path, magic, sizeof magic, read) && read == 4 &&
           std::memcmp(magic, "PK\3\4", 4) == 0;
}

bool isDocumentFile(const char* path)
{
    char prefix[4096];
    size_t read = 0;
    if (!readPrefix(path, prefix, sizeof prefix, read))
        return false;
    const std::string text(prefix, read);
    const size_t at = text.find("<MPCDI");
    return at != std::string::npos && at + 6 < text.size() &&
           (text[at + 6] == ' ' || text[at + 6] == '>' || text[at + 6] == '\t' || text[at + 6] == '\n' ||
            text[at + 6] == '\r');
}

Source::~Source()
{
    if (archive_)
        zip_discard(archive_);
}

kzResult Source::open(const char* path, std::string& problem)
{
    if (isArchiveFile(path)) {
        int error = 0;
        archive_ = zip_open(path, ZIP_RDONLY, &error);
        if (!archive_) {
            problem = "not a readable ZIP archive";
            return KZ_ERROR_INVALID_DATA;
        }
        const zip_int64_t entries = zip_get_num_entries(archive_, 0);
        if (entries < 0 || entries > kMaxArchiveEntries) {
            problem = "the archive has more than " + std::to_string(kMaxArchiveEntries) + " members";
            return KZ_ERROR_INVALID_DATA;
        }
        return KZ_OK;
    }
    struct stat status;
    if (::stat(path, &status) != 0 || !S_ISREG(status.st_mode))
        return KZ_ERROR_FILE;
    documentPath_ = path;
    const size_t slash = documentPath_.rfind('/');
    folder_ = slash == std::string::npos ? std::string() : documentPath_.substr(0, slash + 1);
    return KZ_OK;
}

bool Source::readMember(int64_t index, const std::string& name, uint64_t limit, int outputFd,
                        std::string* text, std::string& problem)
{
    zip_file_t* member = zip_fopen_index(archive_, zip_uint64_t(index), 0);
    if (!member) {
        problem = "member " + name + " cannot be read (" + zip_strerror(archive_) + ")";
        return false;
    }
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(member, &zip_fclose);
    char block[65536];
    uint64_t count = 0;
    for (;;) {
        const zip_int64_t read = zip_fread(member, block, sizeof block);
        if (read < 0) {
            problem = "member " + name + " is damaged (" + zip_file_strerror(member) + ")";
            return false;
        }
        if (read == 0)
            return true;
        count += uint64_t(read);
        total_ += uint64_t(read);
        if (count > limit || total_ > kMaxTotalBytes) {
            problem = "member " + name + " unpacks to more than the " +
                      std::to_string((count > limit ? limit : kMaxTotalBytes) >> 20) + " MiB allowed";
            return false;
        }
        if (text)
            text->append(block, size_t(read));
        else if (!writeAll(outputFd, block, size_t(read))) {
            problem = "cannot write the copy of member " + name;
            return false;
        }
    }
}

bool Source::readDocument(std::string& text, std::string& problem)
{
    text.clear();
    if (!archive_) {
        Fd file{::open(documentPath_.c_str(), O_RDONLY | O_CLOEXEC)};
        struct stat status;
        if (file.fd < 0 || ::fstat(file.fd, &status) != 0) {
            problem = "the document cannot be read";
            return false;
        }
        if (uint64_t(status.st_size) > kMaxDocumentBytes) {
            problem = "the document is larger than " + std::to_string(kMaxDocumentBytes >> 20) + " MiB";
            return false;
        }
        text.resize(size_t(status.st_size));
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t read = ::read(file.fd, &text[done], text.size() - done);
            if (read <= 0)
                break;
            done += size_t(read);
        }
        text.resize(done);
        return true;
    }
    zip_int64_t index = zip_name_locate(archive_, "mpcdi.xml", 0);
    if (index < 0) {
        // Some writers name the document after the display.
        const zip_int64_t entries = zip_get_num_entries(archive_, 0);
        for (zip_int64_t i = 0; i < entries; ++i) {
            const char* name = zip_get_name(archive_, zip_uint64_t(i), 0);
            const size_t length = name ? std::strlen(name) : 0;
            if (length > 4 && std::strcmp(name + length - 4, ".xml") == 0 && !std::strchr(name, '/')) {
                if (index >= 0) {
                    problem = "the archive has no mpcdi.xml and more than one other document";
                    return false;
                }
                index = i;
            }
        }
    }
    if (index < 0) {
        problem = "the archive holds no mpcdi.xml";
        return false;
    }
    return readMember(index, "mpcdi.xml", kMaxDocumentBytes, -1, &text, problem);
}

bool Source::extract(const std::string& name, const std::string& destination, uint64_t limit,
                     std::string& problem)
{
    if (!isSafeMemberPath(name)) {
        problem = "file path \"" + name + "\" leaves the calibration (absolute, .. or empty component)";
        return false;
    }
    Fd output{::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
    if (output.fd < 0) {
        problem = "cannot create " + destination;
        return false;
    }
    if (archive_) {
        const zip_int64_t index = zip_name_locate(archive_, name.c_str(), 0);
        if (index < 0) {
            problem = "the archive has no member " + name;
            return false;
        }
        return readMember(index, name, limit, output.fd, nullptr, problem);
    }
    const std::string path = folder_ + name;
    Fd input{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat status;
    if (input.fd < 0 || ::fstat(input.fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        problem = "file " + path + " cannot be read";
        return false;
    }
    char block[65536];
    uint64_t count = 0;
    for (;;) {
        const ssize_t read = ::read(input.fd, block, sizeof block);
        if (read < 0) {
            problem = "file " + path + " cannot be read";
            return false;
        }
        if (read == 0)
            return true;
        count += uint64_t(read);
        total_ += uint64_t(read);
        if (count > limit || total_ > kMaxTotalBytes) {
            problem = "file " + path + " is larger than allowed";
            return false;
        }
        if (!writeAll(output.fd, block, size_t(read))) {
            problem = "cannot write the copy of " + path;
            return false;
        }
    }
}

}  // namespace mpcdi
