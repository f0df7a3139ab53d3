#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "os/errors.h"
#include "os/file_names.h"

namespace kitforge {

int RenameOver(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int RemoveEmptyFolder(const std::string& path) { return ::rmdir(path.c_str()) == 0 ? 0 : errno; }

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

unsigned CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

unsigned ReplacementMode(const std::string& path) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) return existing.st_mode & 0777;
    return 0666 & ~CurrentUmask();
}

int SetPermissions(File& file, unsigned mode) {
    return ::fchmod(file.Descriptor(), static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

std::optional<File> OpenNamedDevice(const std::string& path, const std::string& shown) {
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0 || !(S_ISCHR(named.st_mode) || S_ISBLK(named.st_mode))) return std::nullopt;
    int error = 0;
    auto device = File::TryOpen(path, File::Access::ReadWrite, 0666, &error);
    if (!device) throw InOutError("open", shown, error);
    struct stat opened {};
    if (::fstat(device->Descriptor(), &opened) != 0 || opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)
        throw InOutError("open", shown, EBUSY);
    return File::Adopt(device->Release(), shown);
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace kitforge
