// FolderWriter on POSIX systems: how the target is made and opened, and what a staged file is
// given when it is complete.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "os/file_names.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/folder_writer.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

namespace {

std::string Failure(const std::string& action, const std::string& path, int error) {
    return "cannot " + action + " " + path + ": " + std::strerror(error);
}

}  // namespace

FolderWriter::FolderWriter(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

void FolderWriter::Open() {
    // Make the missing parents of the target, top down, remembering them for Discard.
    std::vector<std::string> missing;
    for (std::string path = root_; !path.empty() && path != "/" && path != ".";) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0) break;
        if (errno != ENOENT) throw SfxError(Failure("use the folder", Printable(path), errno));
        missing.push_back(path);
        const std::size_t slash = path.rfind('/');
        path = slash == std::string::npos ? "" : path.substr(0, slash == 0 ? 1 : slash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0777) != 0 && errno != EEXIST) {
            throw SfxError(Failure("make the folder", Printable(*it), errno));
        }
        made_folders_.push_back(*it);
    }
    int error = 0;
    auto root = Folder::Open(root_, &error);
    if (!root) throw SfxError(Failure("open the folder", Printable(root_), error));
    root_folder_ = std::move(*root);
}

void FolderWriter::FinishStagedFile(File& file, std::optional<std::uint32_t> mode, std::uint32_t dos_time,
                                    const std::string& shown) {
    // The umask is the user's say over what others may do with new files, stored modes included:
    // an entry stored 0777 must not come out writable by everyone.
    const unsigned permissions = (mode ? *mode & 0777 : 0666) & ~CurrentUmask();
    if (const int error = SetPermissions(file, permissions); error != 0)
        throw SfxError(Failure("set the permissions of", shown, error));
    struct stat made {};
    if (::fstat(file.Descriptor(), &made) != 0) throw SfxError(Failure("look at", shown, errno));
    written_.push_back({static_cast<std::uint64_t>(made.st_dev), static_cast<std::uint64_t>(made.st_ino)});
    if (const auto seconds = DosTimeToUnix(dos_time)) {
        const timespec times[2] = {{static_cast<time_t>(*seconds), 0}, {static_cast<time_t>(*seconds), 0}};
        ::futimens(file.Descriptor(), times);  // a file without its date is still the right file
    }
    if (const int error = file.TryClose(); error != 0) {
        const bool no_room = error == ENOSPC || error == EDQUOT;
        throw SfxError(Failure("write", shown, error), no_room ? FailureKind::NoSpace : FailureKind::Damaged);
    }
}

}  // namespace kitforge::zipsfx
