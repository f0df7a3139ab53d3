#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "os/folder.h"

namespace kitforge {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

}  // namespace

std::optional<Folder> Folder::Open(const std::string& path, int* error) {
    const int fd = ::open(path.c_str(), kFolderFlags);
    if (fd < 0) {
        if (error) *error = errno;
        return std::nullopt;
    }
    return Folder(File::Adopt(fd, path), path);
}

std::optional<Folder> Folder::Enter(const std::string& name, int* error) const {
    const int fd = ::openat(handle_.Descriptor(), name.c_str(), kFolderFlags | O_NOFOLLOW);
    if (fd < 0) {
        if (error) *error = errno;
        return std::nullopt;
    }
    std::string path = PathOf(name);
    return Folder(File::Adopt(fd, path), path);
}

int Folder::MakeFolder(const std::string& name) const {
    return ::mkdirat(handle_.Descriptor(), name.c_str(), 0777) == 0 ? 0 : errno;
}

std::optional<File> Folder::CreateFile(const std::string& name, unsigned mode, int* error) const {
    const int fd = ::openat(handle_.Descriptor(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            static_cast<mode_t>(mode));
    if (fd < 0) {
        if (error) *error = errno;
        return std::nullopt;
    }
    return File::Adopt(fd, PathOf(name));
}

std::optional<File> Folder::OpenFile(const std::string& name, int* error) const {
    const int fd = ::openat(handle_.Descriptor(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = errno;
        return std::nullopt;
    }
    return File::Adopt(fd, PathOf(name));
}

int Folder::Rename(const std::string& from, const std::string& to) const {
    const int fd = handle_.Descriptor();
    return ::renameat(fd, from.c_str(), fd, to.c_str()) == 0 ? 0 : errno;
}

int Folder::Remove(const std::string& name) const {
    return ::unlinkat(handle_.Descriptor(), name.c_str(), 0) == 0 ? 0 : errno;
}

int Folder::RemoveFolder(const std::string& name) const {
    return ::unlinkat(handle_.Descriptor(), name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

}  // namespace kitforge
