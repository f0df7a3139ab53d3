#include "setup/install_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"
#include "setup/safe_extraction.h"
#include "setup/setup_errors.h"

namespace kitforge::setup {

namespace {

// True when `folder` is `anchor` or lies below it.
bool Holds(const std::string& anchor, const std::string& folder) {
    if (anchor.empty() || folder.compare(0, anchor.size(), anchor) != 0)
        return false;
    return folder.size() == anchor.size() || anchor == "/" || folder[anchor.size()] == '/';
}

std::string AnchorOf(const std::string& folder, const std::vector<std::string>& anchors) {
    std::string best = "/";
    for (const auto& anchor : anchors) {
        if (anchor.size() > best.size() && Holds(anchor, folder))
            best = anchor;
    }
    return best;
}

std::string FolderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

}  // namespace

OwnedDescriptor::~OwnedDescriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

OwnedDescriptor& OwnedDescriptor::operator=(OwnedDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.Release();
    }
    return *this;
}

InstallFolder OpenInstallFolder(const std::string& folder, const std::vector<std::string>& anchors,
                                bool create) {
    const std::string anchor = AnchorOf(folder, anchors);
    if (create)
        MakeFolders(anchor);
    InstallFolder open{OwnedDescriptor(::open(anchor.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
                       anchor};
    if (open.descriptor.Get() < 0)
        throw InOutError("open the folder", anchor, errno);

    std::size_t start = anchor == "/" ? 1 : anchor.size() + 1;
    while (start < folder.size()) {
        std::size_t slash = folder.find('/', start);
        if (slash == std::string::npos)
            slash = folder.size();
        const std::string part = folder.substr(start, slash - start);
        const std::string walked = folder.substr(0, slash);
        if (create && ::mkdirat(open.descriptor.Get(), part.c_str(), 0777) != 0 &&
            errno != EEXIST) {
            throw InOutError("create the folder", walked, errno);
        }
        OwnedDescriptor next(::openat(open.descriptor.Get(), part.c_str(),
                                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.Get() < 0) {
            const int error = errno;
            if (error == ELOOP || error == ENOTDIR) {
                throw InOutError("write into", walked, error,
                                 "it is not a folder but a link or a file; nothing is written "
                                 "through it");
            }
            throw InOutError("open the folder", walked, error);
        }
        open.descriptor = std::move(next);
        open.path = walked;
        start = slash + 1;
    }
    return open;
}

int RemoveInstalledFile(const std::string& folder, const std::string& name,
                        const std::vector<std::string>& anchors) {
    try {
        const InstallFolder open = OpenInstallFolder(folder, anchors, false);
        return ::unlinkat(open.descriptor.Get(), name.c_str(), 0) == 0 ? 0 : errno;
    } catch (const FileError& e) {
        return e.Code() == 0 ? ENOENT : e.Code();
    }
}

OwnedDescriptor OpenWrittenProgram(const std::string& path, const FileIdentity& identity,
                                   const std::vector<std::string>& anchors) {
    const std::string replaced =
        Printable(path) + " was replaced after this installer wrote it; it is not run";
    InstallFolder folder;
    try {
        folder = OpenInstallFolder(FolderPart(path), anchors, false);
    } catch (const FileError&) {
        throw Error(replaced);
    }
    const std::string name = path.substr(path.rfind('/') + 1);
    OwnedDescriptor program(
        ::openat(folder.descriptor.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (program.Get() < 0 || ::fstat(program.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        FileIdentity(static_cast<std::uint64_t>(st.st_dev),
                     static_cast<std::uint64_t>(st.st_ino)) != identity) {
        throw Error(replaced);
    }
    // A script is left to be started by its path: run from a descriptor, its interpreter would
    // see "/dev/fd/N" as the script's name, and scripts that find their files next to "$0"
    // would break. The check above was made just before.
    char head[2] = {};
    if (::pread(program.Get(), head, sizeof head, 0) == 2 && head[0] == '#' && head[1] == '!')
        return OwnedDescriptor();
    return program;
}

}  // namespace kitforge::setup
