#include "zipsfx/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

bool MemorySource::ReadAt(std::uint64_t offset, void* data, std::size_t size) {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
    if (size > 0) std::memcpy(data, bytes_.data() + offset, size);
    return true;
}

FileSource::FileSource(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw SfxError("cannot open " + path + ": " + std::strerror(errno));
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = errno;
        ::close(fd_);
        fd_ = -1;
        throw SfxError("cannot read " + path + ": " + (error ? std::strerror(error) : "not a regular file"));
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
}

FileSource::~FileSource() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileSource::ReadAt(std::uint64_t offset, void* data, std::size_t size) {
    if (offset > size_ || size > size_ - offset) return false;
    auto* out = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::pread(fd_, out, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace kitforge::zipsfx
